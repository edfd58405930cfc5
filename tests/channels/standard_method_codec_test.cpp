#include "channels/standard_method_codec.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <thread>
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

TEST(StandardMethodCodecCalls, CallsEncodeToTheirBytesAndBack) {
  EXPECT_THAT(*Codec().EncodeMethodCall(MethodCall<>("abc", nullptr)),
              ElementsAreArray(Hex("07 03 616263 00")));

  const EncodableValue arguments(EncodableList{"vpn.example.com", "user", "secret"});
  std::unique_ptr<std::vector<uint8_t>> bytes = Codec().EncodeMethodCall(
      MethodCall<>("toggleOpenConnect", std::make_unique<EncodableValue>(arguments)));
  EXPECT_THAT(*bytes, ElementsAreArray(Hex("07 11 746F67676C654F70656E436F6E6E656374 0C 03 "
                                           "07 0F 76706E2E6578616D706C652E636F6D "
                                           "07 04 75736572 07 06 736563726574")));
  testing_support::LogCapture log;
  std::unique_ptr<MethodCall<>> call = Codec().DecodeMethodCall(bytes->data(), bytes->size());
  ASSERT_NE(call, nullptr);
  EXPECT_EQ(call->MethodName(), "toggleOpenConnect");
  ASSERT_NE(call->Arguments(), nullptr);
  EXPECT_EQ(*call->Arguments(), arguments);
  EXPECT_EQ(log.Err(), "");
}

TEST(StandardMethodCodecCalls, OddCallsDecodeAsTheReaderDecides) {
  struct Case {
    const char* bytes;
    const char* name;  // null: no call
    EncodableValue arguments;
    std::string log;
  };
  const Case cases[] = {
      {"07 03 616263", "abc", EncodableValue(), InvalidReads()},  // missing arguments are null
      {"07 01 61 01 FF FF", "a", EncodableValue(true), ""},       // bytes after them are ignored
      {"03 01000000", nullptr, {}, kNotAString},
      {"", nullptr, {}, InvalidReads() + kNotAString},
      {"0F",
       nullptr,
       {},
       "Unknown type in StandardCodecSerializer::ReadValueOfType: 15\n" + std::string(kNotAString)},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.bytes);
    testing_support::LogCapture log;
    const std::vector<uint8_t> bytes = Hex(test.bytes);
    std::unique_ptr<MethodCall<>> call = Codec().DecodeMethodCall(bytes.data(), bytes.size());
    EXPECT_EQ(log.Err(), test.log);
    if (test.name == nullptr) {
      EXPECT_EQ(call, nullptr);
      continue;
    }
    ASSERT_NE(call, nullptr);
    EXPECT_EQ(call->MethodName(), test.name);
    ASSERT_NE(call->Arguments(), nullptr);
    EXPECT_EQ(*call->Arguments(), test.arguments);
  }
}

TEST(StandardMethodCodecEnvelopes, EnvelopesEncodeToTheirBytes) {
  const EncodableValue one("1");
  const EncodableValue number(1.0);
  const EncodableValue details(int32_t{7});
  const std::pair<std::unique_ptr<std::vector<uint8_t>>, const char*> cases[] = {
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
