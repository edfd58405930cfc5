#ifndef QUORVANTA_CHANNELS_STANDARD_CODEC_SERIALIZER_H_
#define QUORVANTA_CHANNELS_STANDARD_CODEC_SERIALIZER_H_

#include <cstddef>
#include <cstdint>

#include "channels/byte_streams.h"
#include "channels/encodable_value.h"

namespace flutter {

// Flutter's standard message codec: walks an EncodableValue to bytes and back. Stateless, so one
// instance may serve every thread. Derived serializers can add type bytes: nested values go
// through the virtual operations of the same object.
//
// Declared sizes are never trusted beyond the message: a string or typed list longer than the
// bytes that remain decodes as an empty value of its type, a list or map stops at the end of the
// message, and values nested deeper than kMaxNesting decode as null. Each case writes one line to
// standard error. The storage lists reserve before reading their elements never adds up to more
// than one element per byte of the message. Messages whose sizes fit decode exactly as the format
// says.
class StandardCodecSerializer {
 public:
  static constexpr int kMaxNesting = 512;

  StandardCodecSerializer() = default;
  virtual ~StandardCodecSerializer() = default;

  StandardCodecSerializer(const StandardCodecSerializer&) = delete;
  StandardCodecSerializer& operator=(const StandardCodecSerializer&) = delete;

  // The process-wide instance.
  static const StandardCodecSerializer& GetInstance();

  // Appends exactly one encoded value.
  virtual void WriteValue(const EncodableValue& value, ByteStreamWriter* stream) const;
  // Decodes the payload of a value whose type byte has been read.
  virtual EncodableValue ReadValueOfType(uint8_t type, ByteStreamReader* stream) const;

  // Consumes exactly one encoded value; bytes after it are left unread.
  EncodableValue ReadValue(ByteStreamReader* stream) const;

  void WriteSize(size_t size, ByteStreamWriter* stream) const;
  size_t ReadSize(ByteStreamReader* stream) const;
};

}  // namespace flutter

#endif  // QUORVANTA_CHANNELS_STANDARD_CODEC_SERIALIZER_H_
