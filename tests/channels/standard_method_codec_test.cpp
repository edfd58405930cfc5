#include "channels/standard_method_codec.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "tests/channels/codec_test_util.h"
#include "tests/support/log_capture.h"

namespace flutter {
namespace {

using codec_test::Hex;
using codec_test::InvalidReads;
using testing::ElementsAreArray;

const StandardMethodCodec& Codec() { return StandardMethodCodec::GetInstance(); }

constexpr char kNotAString[] = "Invalid method call; method name is not a string.\n";

// "name(arguments)", with "-" for an empty arguments pointer, or "no call".
std::string Describe(const std::unique_ptr<MethodCall<>>& call) {
  if (call == nullptr) return "no call";
  const EncodableValue* arguments = call->Arguments();
  return call->MethodName() + "(" + (arguments ? testing::PrintToString(*arguments) : "-") + ")";
}

TEST(StandardMethodCodecCalls, CallsDecodeToTheirNameAndArgumentsOrToNoCall) {
  const std::string unknown = "Unknown type in StandardCodecSerializer::ReadValueOfType: 15\n";
  const std::tuple<const char*, const char*, std::string> cases[] = {
      {"07 03 616263 0C 01 07 01 78", "abc(<10>[<5>\"x\"])", ""},
      // Missing arguments are null, after the reader's line; bytes after them are ignored.
      {"07 03 616263", "abc(<0>null)", InvalidReads()},
      {"07 01 61 01 FF FF", "a(<1>true)", ""},
      {"03 01000000", "no call", kNotAString},
      {"", "no call", InvalidReads() + kNotAString},
      {"0F", "no call", unknown + kNotAString},
  };
  for (const auto& [hex, call, lines] : cases) {
    SCOPED_TRACE(hex);
    testing_support::LogCapture log;
    const std::vector<uint8_t> bytes = Hex(hex);
    EXPECT_EQ(Describe(Codec().DecodeMethodCall(bytes.data(), bytes.size())), call);
    EXPECT_EQ(log.Err(), lines);
  }
}

TEST(StandardMethodCodecEnvelopes, CallsAndEnvelopesEncodeToTheirBytes) {
  const EncodableValue one("1");
  const EncodableValue number(1.0);
  const EncodableValue details(int32_t{7});
  const std::pair<std::unique_ptr<std::vector<uint8_t>>, const char*> cases[] = {
      {Codec().EncodeMethodCall(MethodCall<>("abc", nullptr)), "07 03 616263 00"},
      {Codec().EncodeMethodCall(
           MethodCall<>("abc", std::make_unique<EncodableValue>(EncodableList{"x"}))),
       "07 03 616263 0C 01 07 01 78"},
      {Codec().EncodeSuccessEnvelope(&one), "00 07 01 31"},
      {Codec().EncodeSuccessEnvelope(), "00 00"},
      // The padding counts the flag byte.
      {Codec().EncodeSuccessEnvelope(&number), "00 06 000000000000 000000000000F03F"},
      {Codec().EncodeErrorEnvelope("E", ""), "01 070145 00 00"},
      {Codec().EncodeErrorEnvelope("E", "m"), "01 070145 07016D 00"},
      {Codec().EncodeErrorEnvelope("", "", &details), "01 0700 00 0307000000"},
  };
  for (const auto& [bytes, hex] : cases) {
    EXPECT_THAT(*bytes, ElementsAreArray(Hex(hex))) << hex;
  }
}

// Writes down every answer it is given, in order: "success <value>", "error <code> <message>
// <details>", with "-" for an empty pointer.
class RecordingResult : public MethodResult<> {
 public:
  void Success(const EncodableValue* value) override {
    answers.push_back("success " + Text(value));
  }
  void Error(const std::string& code, const std::string& message,
             const EncodableValue* details) override {
    answers.push_back("error " + code + " " + message + " " + Text(details));
  }
  void NotImplemented() override { answers.push_back("not implemented"); }

  std::vector<std::string> answers;

 private:
  static std::string Text(const EncodableValue* value) {
    return value ? testing::PrintToString(*value) : "-";
  }
};

TEST(StandardMethodCodecResponses, EachEnvelopeCallsTheResultOnceOrNotAtAll) {
  struct Case {
    const char* bytes;
    bool understood;
    std::vector<std::string> answers;
    std::string log;
  };
  const Case cases[] = {
      {"00 07 01 31", true, {"success <5>\"1\""}, ""},
      {"00 00", true, {"success -"}, ""},  // a null result is no value
      {"", true, {"success -"}, InvalidReads(2)},
      {"01 070145 00 00", true, {"error E  -"}, ""},
      {"01 070145 07016D 0307000000", true, {"error E m <2>7"}, ""},
      {"01 070145", true, {"error E  -"}, InvalidReads(2)},
      {"02", false, {}, ""},
      {"FF 00", false, {}, ""},
      // A code that is not a string, a message that is neither null nor a string.
      {"01 0301000000 00 00", false, {}, ""},
      {"01 070145 0301000000 00", false, {}, ""},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.bytes);
    testing_support::LogCapture log;
    RecordingResult result;
    const std::vector<uint8_t> bytes = Hex(test.bytes);
    EXPECT_EQ(Codec().DecodeResponseEnvelope(bytes.data(), bytes.size(), &result), test.understood);
    EXPECT_EQ(result.answers, test.answers);
    EXPECT_EQ(log.Err(), test.log);
  }
}

TEST(StandardMethodCodecInstances, OneCodecPerSerializer) {
  EXPECT_EQ(&StandardMethodCodec::GetInstance(nullptr),
            &StandardMethodCodec::GetInstance(&StandardCodecSerializer::GetInstance()));

  const StandardCodecSerializer other;
  const StandardMethodCodec& other_codec = StandardMethodCodec::GetInstance(&other);
  EXPECT_NE(&other_codec, &StandardMethodCodec::GetInstance());
  EXPECT_EQ(&other_codec, &StandardMethodCodec::GetInstance(&other));
}

TEST(StandardMethodCodecInstances, ConcurrentFirstCallsAgreeOnOneCodec) {
  const StandardCodecSerializer serializer;
  constexpr int kThreads = 8;
  std::vector<const StandardMethodCodec*> seen(kThreads);
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([&, i] { seen[i] = &StandardMethodCodec::GetInstance(&serializer); });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(std::set<const StandardMethodCodec*>(seen.begin(), seen.end()).size(), 1u);
}

}  // namespace
}  // namespace flutter
