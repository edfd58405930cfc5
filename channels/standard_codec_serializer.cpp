#include "channels/standard_codec_serializer.h"

#include <algorithm>
#include <bit>
#include <string>
#include <vector>

#include "base/log.h"
#include "channels/byte_buffer_streams.h"

namespace flutter {
namespace {

static_assert(std::endian::native == std::endian::little,
              "the wire format is little-endian and is copied as it is");

enum TypeByte : uint8_t {
  kNull = 0,
  kTrue = 1,
  kFalse = 2,
  kInt32 = 3,
  kInt64 = 4,
  kLargeInt = 5,  // read as a string, never written
  kFloat64 = 6,
  kString = 7,
  kUInt8List = 8,
  kInt32List = 9,
  kInt64List = 10,
  kFloat64List = 11,
  kList = 12,
  kMap = 13,
  kFloat32List = 14,
};

// The lists and maps being decoded on this thread: how deeply they nest, and how many list
// elements may still be reserved before they are read. Every element of every list in a message
// starts with its own type byte, so the bytes that remain when the outermost list or map begins
// bound the sum of all its lists' counts; a message that claims more gets its lists grown as
// their elements actually arrive, and never more memory reserved than its size allows.
struct DecodeState {
  int nesting = 0;
  size_t reservable_elements = 0;
};
thread_local DecodeState decode_state;

class NestingScope {
 public:
  explicit NestingScope(const ByteStreamReader& stream) {
    if (decode_state.nesting == 0) {
      decode_state.reservable_elements = stream.BytesRemaining();
    }
    ++decode_state.nesting;
  }
  ~NestingScope() { --decode_state.nesting; }
  NestingScope(const NestingScope&) = delete;
  NestingScope& operator=(const NestingScope&) = delete;

  // How many elements a list that declares `count` may reserve now.
  size_t ClaimReservation(size_t count, const ByteStreamReader& stream) {
    size_t claimed = std::min({count, stream.BytesRemaining(), decode_state.reservable_elements});
    decode_state.reservable_elements -= claimed;
    return claimed;
  }
};

template <typename Element>
void WriteTypedList(const std::vector<Element>& list, uint8_t alignment,
                    const StandardCodecSerializer& serializer, ByteStreamWriter* stream) {
  serializer.WriteSize(list.size(), stream);
  if constexpr (sizeof(Element) > 1) {
    stream->WriteAlignment(alignment);
  }
  if (!list.empty()) {
    stream->WriteBytes(reinterpret_cast<const uint8_t*>(list.data()),
                       list.size() * sizeof(Element));
  }
}

// A declared length the remaining bytes cannot hold gives an empty sequence rather than an
// allocation the message cannot fill.
template <typename Sequence>
Sequence ReadSequence(size_t count, ByteStreamReader* stream) {
  using Element = typename Sequence::value_type;
  if (count > stream->BytesRemaining() / sizeof(Element)) {
    ReportInvalidRead();
    return Sequence();
  }
  Sequence sequence(count, Element{});
  stream->ReadBytes(reinterpret_cast<uint8_t*>(sequence.data()), count * sizeof(Element));
  return sequence;
}

template <typename Element>
std::vector<Element> ReadTypedList(uint8_t alignment, const StandardCodecSerializer& serializer,
                                   ByteStreamReader* stream) {
  size_t count = serializer.ReadSize(stream);
  stream->ReadAlignment(alignment);
  return ReadSequence<std::vector<Element>>(count, stream);
}

template <typename Scalar>
Scalar ReadScalar(ByteStreamReader* stream) {
  Scalar value{};
  stream->ReadBytes(reinterpret_cast<uint8_t*>(&value), sizeof(value));
  return value;
}

template <typename Scalar>
void WriteScalar(Scalar value, ByteStreamWriter* stream) {
  stream->WriteBytes(reinterpret_cast<const uint8_t*>(&value), sizeof(value));
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

void StandardCodecSerializer::WriteValue(const EncodableValue& value,
                                         ByteStreamWriter* stream) const {
  switch (value.index()) {
    case 0:
      stream->WriteByte(kNull);
      return;
    case 1:
      stream->WriteByte(std::get<bool>(value) ? kTrue : kFalse);
      return;
    case 2:
      stream->WriteByte(kInt32);
      WriteScalar(std::get<int32_t>(value), stream);
      return;
    case 3:
      stream->WriteByte(kInt64);
      WriteScalar(std::get<int64_t>(value), stream);
      return;
    case 4:
      stream->WriteByte(kFloat64);
      stream->WriteAlignment(8);
      WriteScalar(std::get<double>(value), stream);
      return;
    case 5: {
      const auto& text = std::get<std::string>(value);
      stream->WriteByte(kString);
      WriteSize(text.size(), stream);
      if (!text.empty()) {
        stream->WriteBytes(reinterpret_cast<const uint8_t*>(text.data()), text.size());
      }
      return;
    }
    case 6:
      stream->WriteByte(kUInt8List);
      WriteTypedList(std::get<std::vector<uint8_t>>(value), 1, *this, stream);
      return;
    case 7:
      stream->WriteByte(kInt32List);
      WriteTypedList(std::get<std::vector<int32_t>>(value), 4, *this, stream);
      return;
    case 8:
      stream->WriteByte(kInt64List);
      WriteTypedList(std::get<std::vector<int64_t>>(value), 8, *this, stream);
      return;
    case 9:
      stream->WriteByte(kFloat64List);
      WriteTypedList(std::get<std::vector<double>>(value), 8, *this, stream);
      return;
    case 10: {
      const auto& list = std::get<EncodableList>(value);
      stream->WriteByte(kList);
      WriteSize(list.size(), stream);
      for (const EncodableValue& element : list) {
        WriteValue(element, stream);
      }
      return;
    }
    case 11: {
      const auto& map = std::get<EncodableMap>(value);
      stream->WriteByte(kMap);
      WriteSize(map.size(), stream);
      for (const auto& [key, entry] : map) {
        WriteValue(key, stream);
        WriteValue(entry, stream);
      }
      return;
    }
    case 12:
      stream->WriteByte(kNull);
      logging::Err(
          "Unhandled custom type in StandardCodecSerializer::WriteValue. "
          "Custom types require codec extensions.");
      return;
    case 13:
      stream->WriteByte(kFloat32List);
      WriteTypedList(std::get<std::vector<float>>(value), 4, *this, stream);
      return;
  }
}

EncodableValue StandardCodecSerializer::ReadValueOfType(uint8_t type,
                                                        ByteStreamReader* stream) const {
  switch (type) {
    case kNull:
      return EncodableValue();
    case kTrue:
      return EncodableValue(true);
    case kFalse:
      return EncodableValue(false);
    case kInt32:
      return EncodableValue(ReadScalar<int32_t>(stream));
    case kInt64:
      return EncodableValue(ReadScalar<int64_t>(stream));
    case kFloat64:
      stream->ReadAlignment(8);
      return EncodableValue(ReadScalar<double>(stream));
    case kLargeInt:
    case kString:
      return EncodableValue(ReadSequence<std::string>(ReadSize(stream), stream));
    case kUInt8List:
      return EncodableValue(ReadSequence<std::vector<uint8_t>>(ReadSize(stream), stream));
    case kInt32List:
      return EncodableValue(ReadTypedList<int32_t>(4, *this, stream));
    case kInt64List:
      return EncodableValue(ReadTypedList<int64_t>(8, *this, stream));
    case kFloat64List:
      return EncodableValue(ReadTypedList<double>(8, *this, stream));
    case kFloat32List:
      return EncodableValue(ReadTypedList<float>(4, *this, stream));
    case kList:
    case kMap:
      break;
    default:
      logging::Err("Unknown type in StandardCodecSerializer::ReadValueOfType: " +
                   std::to_string(type));
      return EncodableValue();
  }

  size_t count = ReadSize(stream);
  if (decode_state.nesting >= kMaxNesting) {
    logging::Err("Nesting too deep in StandardCodecSerializer::ReadValueOfType");
    return EncodableValue();
  }
  NestingScope scope(*stream);
  // Every element takes at least one byte, so the message bounds what is read; a list or map
  // that runs past the end keeps what was there.
  if (type == kList) {
    EncodableList list;
    list.reserve(scope.ClaimReservation(count, *stream));
    for (size_t i = 0; i < count; ++i) {
      if (stream->BytesRemaining() == 0) {
        ReportInvalidRead();
        break;
      }
      list.push_back(ReadValue(stream));
    }
    return EncodableValue(std::move(list));
  }
  EncodableMap map;
  for (size_t i = 0; i < count; ++i) {
    if (stream->BytesRemaining() == 0) {
      ReportInvalidRead();
      break;
    }
    EncodableValue key = ReadValue(stream);
    EncodableValue entry = ReadValue(stream);
    map.emplace(std::move(key), std::move(entry));
  }
  return EncodableValue(std::move(map));
}

void StandardCodecSerializer::WriteSize(size_t size, ByteStreamWriter* stream) const {
  if (size < 254) {
    stream->WriteByte(static_cast<uint8_t>(size));
  } else if (size <= 0xffff) {
    stream->WriteByte(254);
    WriteScalar(static_cast<uint16_t>(size), stream);
  } else {
    stream->WriteByte(255);
    WriteScalar(static_cast<uint32_t>(size), stream);
  }
}

size_t StandardCodecSerializer::ReadSize(ByteStreamReader* stream) const {
  uint8_t first = stream->ReadByte();
  if (first < 254) {
    return first;
  }
  if (first == 254) {
    return ReadScalar<uint16_t>(stream);
  }
  return ReadScalar<uint32_t>(stream);
}

}  // namespace flutter
