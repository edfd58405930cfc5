#include "channels/standard_method_codec.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <thread>
#include <vector>

#include "tests/channels/codec_test_util.h"
#include "tests/fakes/recording_method_result.h"
#include "tests/support/log_capture.h"

namespace flutter {
namespace {

using codec_test::Hex;
using codec_test::kInvalidRead;
using codec_test::Lines;
using fakes::RecordingMethodResult;
using testing::ElementsAreArray;
using Kind = RecordingMethodResult::Kind;

const StandardMethodCodec& Codec() { return StandardMethodCodec::GetInstance(); }

std::unique_ptr<MethodCall<>> DecodeCall(const std::vector<uint8_t>& bytes) {
  return Codec().DecodeMethodCall(bytes.data(), bytes.size());
}

bool DecodeResponse(const std::vector<uint8_t>& bytes, RecordingMethodResult* result) {
  return Codec().DecodeResponseEnvelope(bytes.data(), bytes.size(), result);
}

TEST(StandardMethodCodecCalls, CallWithoutArgumentsEndsWithNull) {
  EXPECT_THAT(*Codec().EncodeMethodCall(MethodCall<>("abc", nullptr)),
              ElementsAreArray(Hex("07 03 616263 00")));
}

TEST(StandardMethodCodecCalls, ToggleCallRoundTripsWithItsThreeStrings) {
  const EncodableValue arguments(EncodableList{"vpn.example.com", "user", "secret"});
  std::unique_ptr<std::vector<uint8_t>> bytes = Codec().EncodeMethodCall(
      MethodCall<>("toggleOpenConnect", std::make_unique<EncodableValue>(arguments)));
  EXPECT_THAT(*bytes, ElementsAreArray(Hex("07 11 746F67676C654F70656E436F6E6E656374 0C 03 "
                                           "07 0F 76706E2E6578616D706C652E636F6D "
                                           "07 04 75736572 07 06 736563726574")));
  testing_support::LogCapture log;
  std::unique_ptr<MethodCall<>> call = DecodeCall(*bytes);
  ASSERT_NE(call, nullptr);
  EXPECT_EQ(call->MethodName(), "toggleOpenConnect");
  ASSERT_NE(call->Arguments(), nullptr);
  EXPECT_EQ(*call->Arguments(), arguments);
  EXPECT_EQ(log.Err(), "");
}

TEST(StandardMethodCodecCalls, MissingArgumentsDecodeAsNullWithOneReadLine) {
  testing_support::LogCapture log;
  std::unique_ptr<MethodCall<>> call = DecodeCall(Hex("07 03 616263"));
  ASSERT_NE(call, nullptr);
  EXPECT_EQ(call->MethodName(), "abc");
  ASSERT_NE(call->Arguments(), nullptr);
  EXPECT_TRUE(call->Arguments()->IsNull());
  EXPECT_EQ(log.Err(), Lines(kInvalidRead));
}

TEST(StandardMethodCodecCalls, BytesAfterTheArgumentsAreIgnored) {
  testing_support::LogCapture log;
  std::unique_ptr<MethodCall<>> call = DecodeCall(Hex("07 01 61 01 FF FF"));
  ASSERT_NE(call, nullptr);
  EXPECT_EQ(*call->Arguments(), EncodableValue(true));
  EXPECT_EQ(log.Err(), "");
}

TEST(StandardMethodCodecCalls, NameThatIsNoStringGivesNoCall) {
  const std::pair<const char*, std::string> cases[] = {
      {"03 01000000", ""},
      {"", Lines(kInvalidRead)},
      {"0F", "Unknown type in StandardCodecSerializer::ReadValueOfType: 15\n"},
  };
  for (const auto& [hex, reader_lines] : cases) {
    SCOPED_TRACE(hex);
    testing_support::LogCapture log;
    EXPECT_EQ(DecodeCall(Hex(hex)), nullptr);
    EXPECT_EQ(log.Err(), reader_lines + "Invalid method call; method name is not a string.\n");
  }
}

TEST(StandardMethodCodecEnvelopes, SuccessEnvelopes) {
  const EncodableValue one("1");
  const EncodableValue number(1.0);
  EXPECT_THAT(*Codec().EncodeSuccessEnvelope(&one), ElementsAreArray(Hex("00 07 01 31")));
  EXPECT_THAT(*Codec().EncodeSuccessEnvelope(), ElementsAreArray(Hex("00 00")));
  // The padding counts the flag byte.
  EXPECT_THAT(*Codec().EncodeSuccessEnvelope(&number),
              ElementsAreArray(Hex("00 06 000000000000 000000000000F03F")));
}

TEST(StandardMethodCodecEnvelopes, ErrorEnvelopes) {
  const EncodableValue details(int32_t{7});
  EXPECT_THAT(*Codec().EncodeErrorEnvelope("E", ""), ElementsAreArray(Hex("01 070145 00 00")));
  EXPECT_THAT(*Codec().EncodeErrorEnvelope("E", "m"), ElementsAreArray(Hex("01 070145 07016D 00")));
  EXPECT_THAT(*Codec().EncodeErrorEnvelope("", "", &details),
              ElementsAreArray(Hex("01 0700 00 0307000000")));
}

struct ResponseCase {
  const char* name;
  const char* bytes;
  Kind kind;
  std::optional<EncodableValue> value;
  std::string code;
  std::string message;
  std::string lines;
};

TEST(StandardMethodCodecResponses, EachEnvelopeCallsTheResultOnce) {
  const ResponseCase cases[] = {
      {"success with a value", "00 07 01 31", Kind::kSuccess, EncodableValue("1"), "", "", ""},
      {"success with null has no value", "00 00", Kind::kSuccess, std::nullopt, "", "", ""},
      {"empty response", "", Kind::kSuccess, std::nullopt, "", "", Lines(kInvalidRead, 2)},
      {"error without message or details", "01 070145 00 00", Kind::kError, std::nullopt, "E", "",
       ""},
      {"error with everything", "01 070145 07016D 0307000000", Kind::kError,
       EncodableValue(int32_t{7}), "E", "m", ""},
      {"truncated error", "01 070145", Kind::kError, std::nullopt, "E", "", Lines(kInvalidRead, 2)},
  };
  for (const ResponseCase& test : cases) {
    SCOPED_TRACE(test.name);
    testing_support::LogCapture log;
    RecordingMethodResult result;
    EXPECT_TRUE(DecodeResponse(Hex(test.bytes), &result));
    ASSERT_EQ(result.answers.size(), 1u);
    const RecordingMethodResult::Answer& answer = result.answers[0];
    EXPECT_EQ(answer.kind, test.kind);
    EXPECT_EQ(answer.value, test.value);
    EXPECT_EQ(answer.code, test.code);
    EXPECT_EQ(answer.message, test.message);
    EXPECT_EQ(log.Err(), test.lines);
  }
}

TEST(StandardMethodCodecResponses, UnreadableEnvelopesReturnFalseAndCallNothing) {
  for (const char* hex : {"02", "FF 00", "01 0301000000 00 00", "01 070145 0301000000 00"}) {
    SCOPED_TRACE(hex);
    RecordingMethodResult result;
    EXPECT_FALSE(DecodeResponse(Hex(hex), &result));
    EXPECT_TRUE(result.answers.empty());
  }
}

TEST(StandardMethodCodecResponses, EncodedEnvelopesDecodeToWhatWasEncoded) {
  const EncodableValue value(EncodableMap{{"k", std::vector<double>{1.5}}});
  RecordingMethodResult result;
  EXPECT_TRUE(DecodeResponse(*Codec().EncodeSuccessEnvelope(&value), &result));
  EXPECT_TRUE(DecodeResponse(*Codec().EncodeErrorEnvelope("code", "text", &value), &result));
  ASSERT_EQ(result.answers.size(), 2u);
  EXPECT_EQ(result.answers[0].value, value);
  EXPECT_EQ(result.answers[1].kind, Kind::kError);
  EXPECT_EQ(result.answers[1].code, "code");
  EXPECT_EQ(result.answers[1].message, "text");
  EXPECT_EQ(result.answers[1].value, value);
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
