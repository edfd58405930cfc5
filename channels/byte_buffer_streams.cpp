#include "channels/byte_buffer_streams.h"

#include <cstring>

#include "base/log.h"

namespace flutter {

void ReportInvalidRead() { logging::Err("Invalid read in StandardCodecByteStreamReader"); }

uint8_t ByteBufferStreamReader::ReadByte() {
  if (position_ >= size_) {
    ReportInvalidRead();
    return 0;
  }
  return bytes_[position_++];
}

void ByteBufferStreamReader::ReadBytes(uint8_t* destination, size_t length) {
  // Alignment may have carried the position past the end: even an empty read fails there.
  if (length > size_ || position_ > size_ - length) {
    ReportInvalidRead();
    return;
  }
  if (length > 0) {
    std::memcpy(destination, bytes_ + position_, length);
    position_ += length;
  }
}

void ByteBufferStreamReader::ReadAlignment(uint8_t alignment) {
  // An alignment of 0 asks for nothing, like 1, rather than a division by zero.
  if (alignment == 0) {
    return;
  }
  uint64_t misalignment = position_ % alignment;
  if (misalignment != 0) {
    position_ += alignment - misalignment;
  }
}

size_t ByteBufferStreamReader::BytesRemaining() const {
  return position_ < size_ ? static_cast<size_t>(size_ - position_) : 0;
}

void ByteBufferStreamWriter::WriteByte(uint8_t byte) { buffer_->push_back(byte); }

void ByteBufferStreamWriter::WriteBytes(const uint8_t* bytes, size_t length) {
  buffer_->insert(buffer_->end(), bytes, bytes + length);
}

void ByteBufferStreamWriter::WriteAlignment(uint8_t alignment) {
  if (alignment == 0) {
    return;
  }
  size_t misalignment = buffer_->size() % alignment;
  if (misalignment == 0) {
    return;
  }
  for (size_t i = misalignment; i < alignment; ++i) {
    WriteByte(0);
  }
}

}  // namespace flutter
