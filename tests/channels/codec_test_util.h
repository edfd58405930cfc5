#ifndef QUORVANTA_TESTS_CHANNELS_CODEC_TEST_UTIL_H_
#define QUORVANTA_TESTS_CHANNELS_CODEC_TEST_UTIL_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "channels/byte_buffer_streams.h"
#include "channels/encodable_value.h"
#include "channels/standard_codec_serializer.h"
#include "tests/support/encodable_value_printer.h"

namespace codec_test {

using U8s = std::vector<uint8_t>;
using I32s = std::vector<int32_t>;
using I64s = std::vector<int64_t>;
using F64s = std::vector<double>;
using F32s = std::vector<float>;

// "07 03 61" -> {0x07, 0x03, 0x61}; spaces are ignored.
inline std::vector<uint8_t> Hex(std::string_view text) {
  std::vector<uint8_t> bytes;
  std::string digits;
  for (char c : text) {
    if (c != ' ') digits.push_back(c);
  }
  for (size_t i = 0; i + 1 < digits.size(); i += 2) {
    bytes.push_back(static_cast<uint8_t>(std::stoi(digits.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

inline std::vector<uint8_t> Encode(const flutter::EncodableValue& value,
                                   const flutter::StandardCodecSerializer& serializer =
                                       flutter::StandardCodecSerializer::GetInstance()) {
  std::vector<uint8_t> bytes;
  flutter::ByteBufferStreamWriter writer(&bytes);
  serializer.WriteValue(value, &writer);
  return bytes;
}

struct Decoded {
  flutter::EncodableValue value;
  size_t unread;  // bytes left after the value
};

inline Decoded Decode(const std::vector<uint8_t>& bytes,
                      const flutter::StandardCodecSerializer& serializer =
                          flutter::StandardCodecSerializer::GetInstance()) {
  flutter::ByteBufferStreamReader reader(bytes.data(), bytes.size());
  flutter::EncodableValue value = serializer.ReadValue(&reader);
  return {std::move(value), reader.BytesRemaining()};
}

// What `count` reads past the end of a message write.
inline std::string InvalidReads(int count = 1) {
  std::string text;
  for (int i = 0; i < count; ++i) text += "Invalid read in StandardCodecByteStreamReader\n";
  return text;
}

}  // namespace codec_test

#endif  // QUORVANTA_TESTS_CHANNELS_CODEC_TEST_UTIL_H_
