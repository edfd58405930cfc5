#include "channels/standard_codec_serializer.h"

#include <bit>
#include <typeinfo>

#include "channels/byte_buffer_cursors.h"
#include "channels/byte_buffer_streams.h"
#include "channels/codec_stream_adapters.h"
#include "channels/standard_codec_walk.h"

namespace flutter {
namespace {

static_assert(std::endian::native == std::endian::little,
              "the wire format is little-endian and is copied as it is");

template <typename Exact, typename Object>
bool IsExactly(const Object& object) {
  return typeid(object) == typeid(Exact);
}

}  // namespace

const StandardCodecSerializer& StandardCodecSerializer::GetInstance() {
  static const StandardCodecSerializer instance;
  return instance;
}

EncodableValue StandardCodecSerializer::ReadValue(ByteStreamReader* stream) const {
  uint8_t type = stream->ReadByte();
  return ReadValueOfType(type, stream);
}

// A derived serializer must see every nested value through its own virtual operations, and a
// derived stream every byte through its own: the direct buffer work is for the exact classes.
void StandardCodecSerializer::WriteValue(const EncodableValue& value,
                                         ByteStreamWriter* stream) const {
  if (IsExactly<StandardCodecSerializer>(*this) && IsExactly<ByteBufferStreamWriter>(*stream)) {
    internal::BufferOutput out(*static_cast<ByteBufferStreamWriter*>(stream));
    internal::EncodeValue(value, out);
    return;
  }
  internal::StreamOutput out(*this, stream);
  internal::EncodeValue(value, out);
}

EncodableValue StandardCodecSerializer::ReadValueOfType(uint8_t type,
                                                        ByteStreamReader* stream) const {
  if (IsExactly<StandardCodecSerializer>(*this) && IsExactly<ByteBufferStreamReader>(*stream)) {
    internal::BufferInput in(*static_cast<ByteBufferStreamReader*>(stream));
    return internal::DecodeValueOfType(type, in);
  }
  internal::StreamInput in(*this, stream);
  return internal::DecodeValueOfType(type, in);
}

void StandardCodecSerializer::WriteSize(size_t size, ByteStreamWriter* stream) const {
  uint8_t bytes[internal::kMaxSizeBytes];
  size_t length = internal::EncodeSize(size, bytes);
  stream->WriteByte(bytes[0]);
  if (length > 1) {
    stream->WriteBytes(bytes + 1, length - 1);
  }
}

size_t StandardCodecSerializer::ReadSize(ByteStreamReader* stream) const {
  internal::StreamInput in(*this, stream);
  return internal::ReadSize(in);
}

}  // namespace flutter
