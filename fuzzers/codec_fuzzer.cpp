// Feeds arbitrary bytes to the value decoder, the method-call decoder and the response decoder,
// then re-encodes whatever decoded and checks that the encoding is stable: decoding it again
// reads exactly its bytes without a diagnostic and encodes to the same bytes. Also checks that
// the serializer's direct work on the buffer streams reads and writes exactly as its general path
// through the virtual stream operations does.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/log.h"
#include "channels/byte_buffer_streams.h"
#include "channels/standard_codec_serializer.h"
#include "channels/standard_method_codec.h"

namespace {

using flutter::EncodableValue;

// Counts the lines the codec writes instead of printing them: a fuzzer that prints a line per
// malformed input slows to a crawl.
class LineCounter final : public logging::Destination {
 public:
  void Write(logging::Stream, std::string_view text) override {
    lines += static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
  }
  size_t lines = 0;
};

LineCounter line_counter;

void Check(bool condition, const char* what) {
  if (condition) return;
  logging::SetDestination(nullptr);
  logging::Err(what);
  std::abort();
}

bool HoldsNaN(const EncodableValue& value) {
  auto any_nan = [](const auto& numbers) {
    return std::any_of(numbers.begin(), numbers.end(), [](auto x) { return std::isnan(x); });
  };
  if (const auto* number = std::get_if<double>(&value)) return std::isnan(*number);
  if (const auto* numbers = std::get_if<std::vector<double>>(&value)) return any_nan(*numbers);
  if (const auto* numbers = std::get_if<std::vector<float>>(&value)) return any_nan(*numbers);
  if (const auto* list = std::get_if<flutter::EncodableList>(&value)) {
    return std::any_of(list->begin(), list->end(), HoldsNaN);
  }
  if (const auto* map = std::get_if<flutter::EncodableMap>(&value)) {
    return std::any_of(map->begin(), map->end(), [](const auto& entry) {
      return HoldsNaN(entry.first) || HoldsNaN(entry.second);
    });
  }
  return false;
}

// NaN is neither less nor greater than any double, so map keys holding one are not strictly
// ordered: which of them a map keeps depends on the order the entries arrive in, and re-encoding
// such a map may legitimately give other bytes.
bool HasNaNKey(const EncodableValue& value) {
  if (const auto* list = std::get_if<flutter::EncodableList>(&value)) {
    return std::any_of(list->begin(), list->end(), HasNaNKey);
  }
  if (const auto* map = std::get_if<flutter::EncodableMap>(&value)) {
    return std::any_of(map->begin(), map->end(), [](const auto& entry) {
      return HoldsNaN(entry.first) || HasNaNKey(entry.second);
    });
  }
  return false;
}

std::vector<uint8_t> EncodeValue(const EncodableValue& value) {
  std::vector<uint8_t> bytes;
  flutter::ByteBufferStreamWriter writer(&bytes);
  flutter::StandardCodecSerializer::GetInstance().WriteValue(value, &writer);
  return bytes;
}

void CheckValue(const uint8_t* data, size_t size) {
  flutter::ByteBufferStreamReader reader(data, size);
  EncodableValue value = flutter::StandardCodecSerializer::GetInstance().ReadValue(&reader);
  const std::vector<uint8_t> encoded = EncodeValue(value);

  size_t lines_before = line_counter.lines;
  flutter::ByteBufferStreamReader again(encoded.data(), encoded.size());
  EncodableValue decoded = flutter::StandardCodecSerializer::GetInstance().ReadValue(&again);
  Check(line_counter.lines == lines_before, "re-decoding an encoded value logged a diagnostic");
  Check(again.BytesRemaining() == 0, "re-decoding an encoded value left bytes unread");
  Check(HasNaNKey(value) || EncodeValue(decoded) == encoded,
        "a re-decoded value encodes to other bytes");
}

// Streams of a derived class take the serializer's general path, through every virtual
// operation; the exact buffer streams take its direct one.
class GeneralReader final : public flutter::ByteBufferStreamReader {
 public:
  using ByteBufferStreamReader::ByteBufferStreamReader;
};

class GeneralWriter final : public flutter::ByteBufferStreamWriter {
 public:
  using ByteBufferStreamWriter::ByteBufferStreamWriter;
};

void CheckPathsAgree(const uint8_t* data, size_t size) {
  const flutter::StandardCodecSerializer& serializer =
      flutter::StandardCodecSerializer::GetInstance();
  size_t lines_before = line_counter.lines;
  flutter::ByteBufferStreamReader direct(data, size);
  const EncodableValue direct_value = serializer.ReadValue(&direct);
  const size_t direct_lines = line_counter.lines - lines_before;

  lines_before = line_counter.lines;
  GeneralReader general(data, size);
  const EncodableValue general_value = serializer.ReadValue(&general);
  Check(line_counter.lines - lines_before == direct_lines,
        "the direct and the general decoding logged differently");
  Check(general.BytesRemaining() == direct.BytesRemaining(),
        "the direct and the general decoding read different lengths");

  std::vector<uint8_t> general_bytes;
  GeneralWriter writer(&general_bytes);
  serializer.WriteValue(general_value, &writer);
  Check(EncodeValue(direct_value) == general_bytes,
        "the direct and the general paths decoded or encoded differently");
}

void CheckMethodCall(const uint8_t* data, size_t size) {
  const flutter::StandardMethodCodec& codec = flutter::StandardMethodCodec::GetInstance();
  std::unique_ptr<flutter::MethodCall<>> call = codec.DecodeMethodCall(data, size);
  if (call == nullptr) return;
  Check(call->Arguments() != nullptr, "a decoded call has no arguments value");
  std::unique_ptr<std::vector<uint8_t>> encoded = codec.EncodeMethodCall(*call);

  size_t lines_before = line_counter.lines;
  std::unique_ptr<flutter::MethodCall<>> decoded =
      codec.DecodeMethodCall(encoded->data(), encoded->size());
  Check(line_counter.lines == lines_before, "re-decoding an encoded call logged a diagnostic");
  Check(decoded != nullptr && decoded->MethodName() == call->MethodName(),
        "a re-decoded call lost its name");
  Check(HasNaNKey(*call->Arguments()) || *codec.EncodeMethodCall(*decoded) == *encoded,
        "a re-decoded call encodes to other bytes");
}

// Keeps the one answer a decoded envelope gives, so that it can be encoded again.
class AnswerRecorder final : public flutter::MethodResult<> {
 public:
  void Success(const EncodableValue* result) override {
    ++answers;
    nan_key = result != nullptr && HasNaNKey(*result);
    encoded = flutter::StandardMethodCodec::GetInstance().EncodeSuccessEnvelope(result);
  }
  void Error(const std::string& code, const std::string& message,
             const EncodableValue* details) override {
    ++answers;
    nan_key = details != nullptr && HasNaNKey(*details);
    encoded =
        flutter::StandardMethodCodec::GetInstance().EncodeErrorEnvelope(code, message, details);
  }
  void NotImplemented() override { ++answers; }

  int answers = 0;
  bool nan_key = false;
  std::unique_ptr<std::vector<uint8_t>> encoded;
};

void CheckResponse(const uint8_t* data, size_t size) {
  const flutter::StandardMethodCodec& codec = flutter::StandardMethodCodec::GetInstance();
  AnswerRecorder first;
  bool understood = codec.DecodeResponseEnvelope(data, size, &first);
  Check(first.answers == (understood ? 1 : 0), "a response was answered other than once");
  if (!understood) return;
  Check(first.encoded != nullptr, "a response was answered as not implemented");

  size_t lines_before = line_counter.lines;
  AnswerRecorder second;
  Check(codec.DecodeResponseEnvelope(first.encoded->data(), first.encoded->size(), &second),
        "a re-encoded response was not understood");
  Check(line_counter.lines == lines_before, "re-decoding an encoded response logged a diagnostic");
  Check(second.answers == 1 && (first.nan_key || *second.encoded == *first.encoded),
        "a re-decoded response encodes to other bytes");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  logging::SetDestination(&line_counter);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CheckValue(data, size);
  CheckPathsAgree(data, size);
  CheckMethodCall(data, size);
  CheckResponse(data, size);
  return 0;
}
