#ifndef QUORVANTA_TESTS_CHANNELS_CHANNELS_TEST_UTIL_H_
#define QUORVANTA_TESTS_CHANNELS_CHANNELS_TEST_UTIL_H_

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "channels/byte_buffer_streams.h"
#include "channels/encodable_value.h"
#include "channels/standard_codec_serializer.h"
#include "tests/support/encodable_value_printer.h"
#include "tests/support/log_capture.h"

namespace channels_test {

using flutter::CustomEncodableValue;
using flutter::EncodableList;
using flutter::EncodableMap;
using flutter::EncodableValue;

using Bytes = std::vector<uint8_t>;
using I32s = std::vector<int32_t>;
using I64s = std::vector<int64_t>;
using F64s = std::vector<double>;
using F32s = std::vector<float>;

// "07 03 61" -> {0x07, 0x03, 0x61}; spaces between pairs of digits are ignored.
inline Bytes Hex(std::string_view text) {
  Bytes bytes;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == ' ') continue;
    bytes.push_back(static_cast<uint8_t>(std::stoi(std::string(text.substr(i, 2)), nullptr, 16)));
    ++i;  // the second digit
  }
  return bytes;
}

// What `count` reads past the end of a message write.
inline std::string InvalidReads(int count = 1) {
  std::string text;
  for (int i = 0; i < count; ++i) text += "Invalid read in StandardCodecByteStreamReader\n";
  return text;
}

// Keeps each piece of text as it is written, and runs `on_write` after each.
class PieceLog : public logging::Destination {
 public:
  explicit PieceLog(std::function<void()> on_write = {})
      : on_write_(std::move(on_write)), previous_(logging::SetDestination(this)) {}
  ~PieceLog() override { logging::SetDestination(previous_); }
  void Write(logging::Stream, std::string_view piece) override {
    pieces.emplace_back(piece);
    if (on_write_) on_write_();
  }
  std::vector<std::string> pieces;

 private:
  std::function<void()> on_write_;
  logging::Destination* previous_;
};

// Buffer streams of derived classes, for which the serializer leaves its direct work on the bytes
// and takes the general path through the virtual operations. They count the single bytes.
class CountingWriter final : public flutter::ByteBufferStreamWriter {
 public:
  using ByteBufferStreamWriter::ByteBufferStreamWriter;
  void WriteByte(uint8_t byte) override {
    ++single_bytes;
    ByteBufferStreamWriter::WriteByte(byte);
  }
  int single_bytes = 0;
};

class CountingReader final : public flutter::ByteBufferStreamReader {
 public:
  using ByteBufferStreamReader::ByteBufferStreamReader;
  uint8_t ReadByte() override {
    ++single_bytes;
    return ByteBufferStreamReader::ReadByte();
  }
  int single_bytes = 0;
};

enum class Path { kDirect, kGeneral };
inline constexpr Path kBothPaths[] = {Path::kDirect, Path::kGeneral};

inline const flutter::StandardCodecSerializer& Standard() {
  return flutter::StandardCodecSerializer::GetInstance();
}

// `value` appended to `bytes` on the given path.
inline Bytes Encode(const EncodableValue& value, Path path = Path::kDirect,
                    const flutter::StandardCodecSerializer& serializer = Standard(),
                    Bytes bytes = {}) {
  flutter::ByteBufferStreamWriter direct(&bytes);
  CountingWriter general(&bytes);
  serializer.WriteValue(value, path == Path::kDirect ? &direct : &general);
  return bytes;
}

struct Decoded {
  EncodableValue value;
  size_t unread;    // bytes left after the value
  std::string log;  // what decoding wrote
};

inline Decoded Decode(std::span<const uint8_t> bytes, Path path = Path::kDirect,
                      const flutter::StandardCodecSerializer& serializer = Standard()) {
  testing_support::LogCapture log;
  flutter::ByteBufferStreamReader direct(bytes.data(), bytes.size());
  CountingReader general(bytes.data(), bytes.size());
  flutter::ByteStreamReader& reader = path == Path::kDirect ? direct : general;
  EncodableValue value = serializer.ReadValue(&reader);
  return {std::move(value), reader.BytesRemaining(), log.Err()};
}

}  // namespace channels_test

#endif  // QUORVANTA_TESTS_CHANNELS_CHANNELS_TEST_UTIL_H_
