#include "channels/byte_buffer_cursors.h"

#include <algorithm>

namespace flutter::internal {
namespace {

// The first scratch area of a thread: enough for the calls and answers of this program.
constexpr size_t kFirstScratch = 4096;
// A thread keeps at most this much scratch memory between messages.
constexpr size_t kKeptScratch = 64 * 1024;

thread_local BufferOutput::Scratch thread_scratch;

}  // namespace

BufferOutput::BufferOutput(ByteBufferStreamWriter& writer)
    : buffer_(*writer.buffer_), base_(buffer_.size()) {
  // Busy only when writing a message led to writing another on the same thread (a log
  // destination that encodes, say): that one gets scratch memory of its own.
  scratch_ = thread_scratch.busy ? &own_ : &thread_scratch;
  scratch_->busy = true;
  start_ = cursor_ = scratch_->bytes.get();
  limit_ = start_ + scratch_->capacity;
}

BufferOutput::~BufferOutput() {
  Flush(0);
  scratch_->busy = false;
  if (scratch_->capacity > kKeptScratch) {
    scratch_->bytes.reset();
    scratch_->capacity = 0;
  }
}

void BufferOutput::Grow(size_t length) {
  const size_t used = static_cast<size_t>(cursor_ - start_);
  const size_t capacity = std::max({used + length, 2 * scratch_->capacity, kFirstScratch});
  std::unique_ptr<uint8_t[]> bytes(new uint8_t[capacity]);
  if (used > 0) {
    std::memcpy(bytes.get(), start_, used);
  }
  scratch_->bytes = std::move(bytes);
  scratch_->capacity = capacity;
  start_ = scratch_->bytes.get();
  cursor_ = start_ + used;
  limit_ = start_ + capacity;
}

void BufferOutput::Flush(size_t more) {
  const size_t used = static_cast<size_t>(cursor_ - start_);
  const size_t needed = buffer_.size() + used + more;
  if (needed > buffer_.capacity()) {
    // Exact for a message written at once; by doubling when long payloads come one by one.
    buffer_.reserve(more == 0 ? needed : std::max(needed, 2 * buffer_.capacity()));
  }
  buffer_.insert(buffer_.end(), start_, cursor_);
  base_ = buffer_.size();
  cursor_ = start_;
}

void BufferOutput::AnySequence(uint8_t type, size_t size, uint8_t alignment, const void* data,
                               size_t length) {
  const bool long_payload = length > kLongPayload;
  uint8_t* out = Room(1 + kMaxSizeBytes + kMaxPadding + (long_payload ? 0 : length));
  *out++ = type;
  out += EncodeSize(size, out);
  if (alignment > 1) {
    out = Pad(out, alignment);
  }
  cursor_ = out;
  if (length == 0) {
    return;
  }
  if (long_payload) {
    Flush(length);
    const auto* bytes = static_cast<const uint8_t*>(data);
    buffer_.insert(buffer_.end(), bytes, bytes + length);
    base_ = buffer_.size();
    return;
  }
  std::memcpy(out, data, length);
  cursor_ = out + length;
}

}  // namespace flutter::internal
