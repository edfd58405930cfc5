// Writes the seed corpus of codec_fuzzer: small valid values, method calls and response
// envelopes, one file each, named after what they hold.
//   codec_corpus_generator <directory>

#include <cstdint>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "base/log.h"
#include "channels/byte_buffer_streams.h"
#include "channels/standard_codec_serializer.h"
#include "channels/standard_method_codec.h"

namespace {

using flutter::EncodableList;
using flutter::EncodableMap;
using flutter::EncodableValue;

std::vector<uint8_t> EncodeValue(const EncodableValue& value) {
  std::vector<uint8_t> bytes;
  flutter::ByteBufferStreamWriter writer(&bytes);
  flutter::StandardCodecSerializer::GetInstance().WriteValue(value, &writer);
  return bytes;
}

bool WriteSeed(const std::string& directory, const std::string& name,
               const std::vector<uint8_t>& bytes) {
  std::ofstream file(directory + "/" + name, std::ios::binary);
  file.write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(file);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    logging::Err("usage: codec_corpus_generator <directory>");
    return 2;
  }
  const std::string directory = argv[1];
  const flutter::StandardMethodCodec& codec = flutter::StandardMethodCodec::GetInstance();
  auto call = [&](const std::string& name, std::unique_ptr<EncodableValue> arguments) {
    return *codec.EncodeMethodCall(flutter::MethodCall<>(name, std::move(arguments)));
  };
  const EncodableValue zero(int32_t{0});
  const EncodableValue details(EncodableMap{{"line", int32_t{3}}});

  const std::vector<std::pair<std::string, std::vector<uint8_t>>> seeds = {
      {"value_scalars", EncodeValue(EncodableList{EncodableValue(), true, false, int32_t{-1},
                                                  int64_t{1} << 40, 2.5, "text"})},
      {"value_typed_lists",
       EncodeValue(EncodableList{std::vector<uint8_t>{1, 2}, std::vector<int32_t>{3},
                                 std::vector<int64_t>{4}, std::vector<double>{5.5},
                                 std::vector<float>{6.5f}})},
      {"value_nested_map",
       EncodeValue(EncodableMap{{"a", EncodableList{int32_t{1}, 1.5, "x"}},
                                {int64_t{7}, EncodableMap{{EncodableValue(), false}}}})},
      {"value_long_string", EncodeValue(std::string(300, 's'))},
      {"call_toggle_open_connect",
       call("toggleOpenConnect",
            std::make_unique<EncodableValue>(EncodableList{"vpn.example.com", "user", "pass"}))},
      {"call_toggle_v2ray",
       call("toggleV2ray", std::make_unique<EncodableValue>(EncodableList{"{\"log\":{}}"}))},
      {"call_screen_size", call("screen_size", nullptr)},
      {"call_listen", call("listen", std::make_unique<EncodableValue>())},
      {"success_int32", *codec.EncodeSuccessEnvelope(&zero)},
      {"success_empty", *codec.EncodeSuccessEnvelope()},
      {"error_with_details", *codec.EncodeErrorEnvelope("E", "message", &details)},
      {"error_bare", *codec.EncodeErrorEnvelope("error", "")},
  };
  for (const auto& [name, bytes] : seeds) {
    if (!WriteSeed(directory, name, bytes)) {
      logging::Err("cannot write " + directory + "/" + name);
      return 1;
    }
  }
  return 0;
}
