#ifndef QUORVANTA_CHANNELS_BYTE_STREAMS_H_
#define QUORVANTA_CHANNELS_BYTE_STREAMS_H_

#include <cstddef>
#include <cstdint>

namespace flutter {

// Reading side of the standard codec.
class ByteStreamReader {
 public:
  virtual ~ByteStreamReader() = default;
  // Returns 0 when no byte is left.
  virtual uint8_t ReadByte() = 0;
  // Fills `destination` with the next `length` bytes; leaves it untouched when they are not all
  // there.
  virtual void ReadBytes(uint8_t* destination, size_t length) = 0;
  // Skips to the next multiple of `alignment`, counted from the start of the message.
  virtual void ReadAlignment(uint8_t alignment) = 0;
  // How many bytes are still unread, so that declared sizes can be checked before anything is
  // allocated.
  virtual size_t BytesRemaining() const = 0;
};

// Writing side of the standard codec.
class ByteStreamWriter {
 public:
  virtual ~ByteStreamWriter() = default;
  virtual void WriteByte(uint8_t byte) = 0;
  virtual void WriteBytes(const uint8_t* bytes, size_t length) = 0;
  // Pads with zero bytes to the next multiple of `alignment`, counted from the start of the
  // message.
  virtual void WriteAlignment(uint8_t alignment) = 0;
};

}  // namespace flutter

#endif  // QUORVANTA_CHANNELS_BYTE_STREAMS_H_
