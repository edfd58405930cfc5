#ifndef QUORVANTA_CHANNELS_STANDARD_CODEC_WALK_H_
#define QUORVANTA_CHANNELS_STANDARD_CODEC_WALK_H_

// The standard codec's format, written once for two kinds of stream. Over the abstract streams
// every byte goes through the stream's virtual operations and every nested value through the
// serializer's (codec_stream_adapters.h); over the buffer streams the bytes are worked on
// directly (byte_buffer_cursors.h). One text for both keeps their bytes, values and lines alike.
//
// An Output offers Byte, TypeAndScalar, TypeAndDouble, TypeAndSize, TypeAndSequence, Nested (for
// map keys and values) and Element (for list elements);
// an Input offers Byte, Scalar, Align, Remaining, Take and Nested (see the adapters).

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "base/log.h"
#include "channels/byte_buffer_streams.h"
#include "channels/decode_limits.h"
#include "channels/encodable_value.h"
#include "channels/standard_codec_serializer.h"

namespace flutter::internal {

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

// The longest size field, and the most padding any value needs.
constexpr size_t kMaxSizeBytes = 5;
constexpr size_t kMaxPadding = 7;

// Writes the size field of `size` to `out` and returns its length: one byte below 254, 254 and
// 16 bits up to 65535, else 255 and the low 32 bits.
inline size_t EncodeSize(size_t size, uint8_t* out) {
  if (size < 254) {
    out[0] = static_cast<uint8_t>(size);
    return 1;
  }
  if (size <= 0xffff) {
    const auto narrow = static_cast<uint16_t>(size);
    out[0] = 254;
    std::memcpy(out + 1, &narrow, sizeof(narrow));
    return 3;
  }
  const auto narrow = static_cast<uint32_t>(size);
  out[0] = 255;
  std::memcpy(out + 1, &narrow, sizeof(narrow));
  return 5;
}

template <typename Input>
size_t ReadSize(Input& in) {
  uint8_t first = in.Byte();
  if (first < 254) {
    return first;
  }
  if (first == 254) {
    return in.template Scalar<uint16_t>();
  }
  return in.template Scalar<uint32_t>();
}

template <typename Element, typename Output>
void WriteTypedList(uint8_t type, const std::vector<Element>& list, Output& out) {
  // Byte lists are never padded.
  const uint8_t alignment = sizeof(Element) > 1 ? sizeof(Element) : 0;
  out.TypeAndSequence(type, list.size(), alignment, list.data(), list.size() * sizeof(Element));
}

// Appends a scalar or a string, the values that make up most messages, and returns true; false,
// with nothing written, for any other value. Declared inline, as EncodeList is, so that the
// compiler writes it into the loops of the buffer output.
template <typename Output>
inline bool EncodeScalarOrString(const EncodableValue& value, Output& out) {
  switch (value.index()) {
    case 0:
      out.Byte(kNull);
      return true;
    case 1:
      out.Byte(std::get<bool>(value) ? kTrue : kFalse);
      return true;
    case 2:
      out.TypeAndScalar(kInt32, std::get<int32_t>(value));
      return true;
    case 3:
      out.TypeAndScalar(kInt64, std::get<int64_t>(value));
      return true;
    case 4:
      out.TypeAndDouble(kFloat64, std::get<double>(value));
      return true;
    case 5: {
      const auto& text = std::get<std::string>(value);
      out.TypeAndSequence(kString, text.size(), 0, text.data(), text.size());
      return true;
    }
  }
  return false;
}

template <typename Output>
inline void EncodeList(const EncodableList& list, Output& out) {
  out.TypeAndSize(kList, list.size());
  for (const EncodableValue& element : list) {
    out.Element(element);
  }
}

// Appends exactly one encoded value.
template <typename Output>
void EncodeValue(const EncodableValue& value, Output& out) {
  switch (value.index()) {
    case 6:
      WriteTypedList(kUInt8List, std::get<std::vector<uint8_t>>(value), out);
      return;
    case 7:
      WriteTypedList(kInt32List, std::get<std::vector<int32_t>>(value), out);
      return;
    case 8:
      WriteTypedList(kInt64List, std::get<std::vector<int64_t>>(value), out);
      return;
    case 9:
      WriteTypedList(kFloat64List, std::get<std::vector<double>>(value), out);
      return;
    case 10:
      EncodeList(std::get<EncodableList>(value), out);
      return;
    case 11: {
      const auto& map = std::get<EncodableMap>(value);
      out.TypeAndSize(kMap, map.size());
      for (auto next = map.begin(); next != map.end();) {
        const auto& [key, entry] = *next;
        // The following node is looked up before this entry is written, so that the memory
        // reads of both overlap.
        ++next;
        out.Nested(key);
        out.Nested(entry);
      }
      return;
    }
    case 12:
      out.Byte(kNull);
      logging::Err(
          "Unhandled custom type in StandardCodecSerializer::WriteValue. "
          "Custom types require codec extensions.");
      return;
    case 13:
      WriteTypedList(kFloat32List, std::get<std::vector<float>>(value), out);
      return;
    default:
      EncodeScalarOrString(value, out);
      return;
  }
}

// A declared length the remaining bytes cannot hold gives an empty sequence rather than an
// allocation the message cannot fill.
template <typename Sequence, typename Input>
Sequence ReadSequence(size_t count, Input& in) {
  if (count > in.Remaining() / sizeof(typename Sequence::value_type)) {
    ReportInvalidRead();
    return Sequence();
  }
  return in.template Take<Sequence>(count);
}

template <typename Element, typename Input>
std::vector<Element> ReadTypedList(uint8_t alignment, Input& in) {
  size_t count = ReadSize(in);
  in.Align(alignment);
  return ReadSequence<std::vector<Element>>(count, in);
}

// Decodes the next value from `in` as it is converted, so that a list or map builds it in its
// own place rather than moving it there.
template <typename Input>
struct NextValue {
  Input& in;
  operator EncodableValue() const { return in.Nested(); }
};

// Decodes the payload of a value whose type byte has been read.
template <typename Input>
EncodableValue DecodeValueOfType(uint8_t type, Input& in) {
  switch (type) {
    case kNull:
      return EncodableValue();
    case kTrue:
      return EncodableValue(true);
    case kFalse:
      return EncodableValue(false);
    case kInt32:
      return EncodableValue(in.template Scalar<int32_t>());
    case kInt64:
      return EncodableValue(in.template Scalar<int64_t>());
    case kFloat64:
      in.Align(8);
      return EncodableValue(in.template Scalar<double>());
    case kLargeInt:
    case kString:
      return EncodableValue(ReadSequence<std::string>(ReadSize(in), in));
    case kUInt8List:
      return EncodableValue(ReadSequence<std::vector<uint8_t>>(ReadSize(in), in));
    case kInt32List:
      return EncodableValue(ReadTypedList<int32_t>(4, in));
    case kInt64List:
      return EncodableValue(ReadTypedList<int64_t>(8, in));
    case kFloat64List:
      return EncodableValue(ReadTypedList<double>(8, in));
    case kFloat32List:
      return EncodableValue(ReadTypedList<float>(4, in));
    case kList:
    case kMap:
      break;
    default:
      logging::Err("Unknown type in StandardCodecSerializer::ReadValueOfType: " +
                   std::to_string(type));
      return EncodableValue();
  }

  size_t count = ReadSize(in);
  if (NestingScope::TooDeep(StandardCodecSerializer::kMaxNesting)) {
    logging::Err("Nesting too deep in StandardCodecSerializer::ReadValueOfType");
    return EncodableValue();
  }
  NestingScope scope(in.Remaining());
  // Every element takes at least one byte, so the message bounds what is read; a list or map
  // that runs past the end keeps what was there.
  if (type == kList) {
    EncodableList list;
    list.reserve(scope.ClaimReservation(count, in.Remaining()));
    for (size_t i = 0; i < count; ++i) {
      if (in.Remaining() == 0) {
        ReportInvalidRead();
        break;
      }
      list.emplace_back(NextValue<Input>{in});
    }
    return EncodableValue(std::move(list));
  }
  EncodableMap map;
  for (size_t i = 0; i < count; ++i) {
    if (in.Remaining() == 0) {
      ReportInvalidRead();
      break;
    }
    // Entries of a message encoded from a map arrive in key order, so each is first offered at
    // the end, where it goes in without a search. One out of order, or a key already present,
    // takes the ordinary search, and the entry that came first stays. The key is decoded before
    // the value.
    map.emplace_hint(map.end(), std::piecewise_construct,
                     std::forward_as_tuple(NextValue<Input>{in}),
                     std::forward_as_tuple(NextValue<Input>{in}));
  }
  return EncodableValue(std::move(map));
}

}  // namespace flutter::internal

#endif  // QUORVANTA_CHANNELS_STANDARD_CODEC_WALK_H_
