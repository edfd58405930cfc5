#ifndef QUORVANTA_CHANNELS_CODEC_STREAM_ADAPTERS_H_
#define QUORVANTA_CHANNELS_CODEC_STREAM_ADAPTERS_H_

// The codec's walk (standard_codec_walk.h) over the abstract streams: every byte goes through a
// virtual stream operation and every nested value through the serializer's virtual WriteValue or
// ReadValueOfType, so that derived streams and serializers see all of them, in the order the
// format gives.

#include <cstddef>
#include <cstdint>

#include "channels/byte_streams.h"
#include "channels/encodable_value.h"
#include "channels/standard_codec_serializer.h"

namespace flutter::internal {

class StreamOutput {
 public:
  StreamOutput(const StandardCodecSerializer& serializer, ByteStreamWriter* stream)
      : serializer_(serializer), stream_(stream) {}

  void Byte(uint8_t byte) { stream_->WriteByte(byte); }

  template <typename Scalar>
  void TypeAndScalar(uint8_t type, Scalar value) {
    stream_->WriteByte(type);
    WriteScalar(value);
  }

  void TypeAndDouble(uint8_t type, double value) {
    stream_->WriteByte(type);
    stream_->WriteAlignment(8);
    WriteScalar(value);
  }

  void TypeAndSize(uint8_t type, size_t size) {
    stream_->WriteByte(type);
    serializer_.WriteSize(size, stream_);
  }

  // A size, padding to `alignment` when it is above 1, then `length` bytes when there are any.
  void TypeAndSequence(uint8_t type, size_t size, uint8_t alignment, const void* data,
                       size_t length) {
    TypeAndSize(type, size);
    if (alignment > 1) {
      stream_->WriteAlignment(alignment);
    }
    if (length > 0) {
      stream_->WriteBytes(static_cast<const uint8_t*>(data), length);
    }
  }

  void Nested(const EncodableValue& value) { serializer_.WriteValue(value, stream_); }
  void Element(const EncodableValue& value) { Nested(value); }

 private:
  template <typename Scalar>
  void WriteScalar(Scalar value) {
    stream_->WriteBytes(reinterpret_cast<const uint8_t*>(&value), sizeof(value));
  }

  const StandardCodecSerializer& serializer_;
  ByteStreamWriter* stream_;
};

class StreamInput {
 public:
  StreamInput(const StandardCodecSerializer& serializer, ByteStreamReader* stream)
      : serializer_(serializer), stream_(stream) {}

  uint8_t Byte() { return stream_->ReadByte(); }

  // Zero when the bytes are not all there.
  template <typename T>
  T Scalar() {
    T value{};
    stream_->ReadBytes(reinterpret_cast<uint8_t*>(&value), sizeof(value));
    return value;
  }

  void Align(uint8_t alignment) { stream_->ReadAlignment(alignment); }

  size_t Remaining() const { return stream_->BytesRemaining(); }

  // `count` elements read from the message, or zeros when the bytes are not all there.
  template <typename Sequence>
  Sequence Take(size_t count) {
    Sequence sequence(count, typename Sequence::value_type{});
    stream_->ReadBytes(reinterpret_cast<uint8_t*>(sequence.data()),
                       count * sizeof(typename Sequence::value_type));
    return sequence;
  }

  EncodableValue Nested() { return serializer_.ReadValue(stream_); }

 private:
  const StandardCodecSerializer& serializer_;
  ByteStreamReader* stream_;
};

}  // namespace flutter::internal

#endif  // QUORVANTA_CHANNELS_CODEC_STREAM_ADAPTERS_H_
