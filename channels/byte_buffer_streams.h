#ifndef QUORVANTA_CHANNELS_BYTE_BUFFER_STREAMS_H_
#define QUORVANTA_CHANNELS_BYTE_BUFFER_STREAMS_H_

#include <cstdint>
#include <cstring>
#include <vector>

#include "channels/byte_streams.h"

namespace flutter {

namespace internal {
class BufferInput;
class BufferOutput;
}  // namespace internal

// The line a read past the end writes to standard error.
void ReportInvalidRead();

// Reads one message straight from the caller's buffer, which must outlive the reader. A read past
// the end is reported on standard error and yields zeros; it does not move the position.
//
// Defined here so that the serializer, when it knows a reader is of exactly this class, can call
// these without a virtual call.
class ByteBufferStreamReader : public ByteStreamReader {
 public:
  ByteBufferStreamReader(const uint8_t* bytes, size_t size) : bytes_(bytes), size_(size) {}

  uint8_t ReadByte() override {
    if (position_ >= size_) {
      ReportInvalidRead();
      return 0;
    }
    return bytes_[position_++];
  }

  void ReadBytes(uint8_t* destination, size_t length) override {
    if (!Fits(length)) {
      ReportInvalidRead();
      return;
    }
    if (length > 0) {
      std::memcpy(destination, bytes_ + position_, length);
      position_ += length;
    }
  }

  void ReadAlignment(uint8_t alignment) override {
    // An alignment of 0 asks for nothing, like 1, rather than a division by zero.
    if (alignment == 0) {
      return;
    }
    uint64_t misalignment = position_ % alignment;
    if (misalignment != 0) {
      position_ += alignment - misalignment;
    }
  }

  size_t BytesRemaining() const override {
    return position_ < size_ ? static_cast<size_t>(size_ - position_) : 0;
  }

 private:
  // The serializer's direct reads build strings and lists from the bytes in place.
  friend class internal::BufferInput;

  // Whether the next `length` bytes are all there. Alignment may have carried the position past
  // the end: even an empty read fails there.
  bool Fits(size_t length) const { return length <= size_ && position_ <= size_ - length; }

  const uint8_t* bytes_;
  uint64_t size_;
  uint64_t position_ = 0;
};

// Appends to a byte vector that the caller owns and keeps alive.
class ByteBufferStreamWriter : public ByteStreamWriter {
 public:
  explicit ByteBufferStreamWriter(std::vector<uint8_t>* buffer) : buffer_(buffer) {}

  void WriteByte(uint8_t byte) override;
  void WriteBytes(const uint8_t* bytes, size_t length) override;
  void WriteAlignment(uint8_t alignment) override;

 private:
  // The serializer's direct writes append to the vector through a cursor of their own.
  friend class internal::BufferOutput;

  std::vector<uint8_t>* buffer_;
};

}  // namespace flutter

#endif  // QUORVANTA_CHANNELS_BYTE_BUFFER_STREAMS_H_
