#ifndef QUORVANTA_CHANNELS_BYTE_BUFFER_STREAMS_H_
#define QUORVANTA_CHANNELS_BYTE_BUFFER_STREAMS_H_

#include <cstdint>
#include <vector>

#include "channels/byte_streams.h"

namespace flutter {

// Reads one message straight from the caller's buffer, which must outlive the reader. A read past
// the end is reported on standard error and yields zeros; it does not move the position.
class ByteBufferStreamReader : public ByteStreamReader {
 public:
  ByteBufferStreamReader(const uint8_t* bytes, size_t size) : bytes_(bytes), size_(size) {}

  uint8_t ReadByte() override;
  void ReadBytes(uint8_t* destination, size_t length) override;
  void ReadAlignment(uint8_t alignment) override;
  size_t BytesRemaining() const override;

 private:
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
  std::vector<uint8_t>* buffer_;
};

// The line a read past the end writes to standard error.
void ReportInvalidRead();

}  // namespace flutter

#endif  // QUORVANTA_CHANNELS_BYTE_BUFFER_STREAMS_H_
