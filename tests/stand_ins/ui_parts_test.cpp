#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "channels/standard_method_codec.h"
#include "stand_ins/embedder/answer.h"
#include "stand_ins/embedder/png_writer.h"
#include "stand_ins/embedder/script.h"
#include "stand_ins/embedder/value_json.h"
#include "tests/stand_ins/png_reader.h"

namespace stand_in {
namespace {

using flutter::EncodableList;
using flutter::EncodableMap;
using flutter::EncodableValue;
using nlohmann::json;
using testing::ElementsAre;
using testing::HasSubstr;

uint32_t Crc32Of(const std::string& text) {
  return Crc32(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

TEST(PngWriter, ChecksumsMatchTheirPublishedValues) {
  EXPECT_EQ(Crc32Of("123456789"), 0xCBF43926u);
  EXPECT_EQ(Crc32Of("IEND"), 0xAE426082u);
  const std::string wikipedia = "Wikipedia";
  EXPECT_EQ(Adler32(reinterpret_cast<const uint8_t*>(wikipedia.data()), wikipedia.size()),
            0x11E60398u);
}

TEST(PngWriter, SmallImageMatchesAnIndependentEncoder) {
  // Two pixels, red then blue; the bytes come from Python's zlib and struct.
  const std::vector<uint8_t> expected = {
      0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x48, 0x44,
      0x52, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x01, 0x08, 0x02, 0x00, 0x00, 0x00, 0x7B,
      0x40, 0xE8, 0xDD, 0x00, 0x00, 0x00, 0x12, 0x49, 0x44, 0x41, 0x54, 0x78, 0x01, 0x01, 0x07,
      0x00, 0xF8, 0xFF, 0x00, 0xFF, 0x00, 0x00, 0x00, 0x00, 0xFF, 0x07, 0x00, 0x01, 0xFF, 0x55,
      0x36, 0xBA, 0xC7, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4E, 0x44, 0xAE, 0x42, 0x60, 0x82};
  EXPECT_EQ(EncodePng(RgbImage{2, 1, {255, 0, 0, 0, 0, 255}}), expected);
}

TEST(PngWriter, LargeImageSpansSeveralStoredBlocks) {
  // 200 x 150 x 3 bytes plus row filters is more than one stored block holds.
  RgbImage image{200, 150, {}};
  for (size_t i = 0; i < size_t{200} * 150 * 3; ++i) image.pixels.push_back(i * 7 % 251);
  testing_support::DecodedPng decoded;
  std::string error;
  ASSERT_TRUE(testing_support::ReadStoredPng(EncodePng(image), &decoded, &error)) << error;
  EXPECT_EQ(decoded.width, 200u);
  EXPECT_EQ(decoded.height, 150u);
  EXPECT_EQ(decoded.pixels, image.pixels);
}

TEST(PngWriter, RefusesPixelsThatDoNotMatchTheSize) {
  EXPECT_TRUE(EncodePng(RgbImage{2, 2, {1, 2, 3}}).empty());
  EXPECT_TRUE(EncodePng(RgbImage{0, 0, {}}).empty());
}

TEST(ScriptParser, ReadsCommandsWithTheirDefaults) {
  const Script script = ParseScript(
      "# comment\n"
      "\n"
      "{\"do\":\"listen\",\"channel\":\"openconnect_events\"}\r\n"
      "{\"do\":\"call\",\"method\":\"toggleOpenConnect\",\"args\":[\"s\",\"u\",\"p\"],"
      "\"expect\":0}\n"
      "{\"do\":\"call\",\"channel\":\"other\",\"method\":\"m\",\"wait\":false}\n"
      "{\"do\":\"expect_event\",\"channel\":\"openconnect_events\",\"value\":5}\n"
      "{\"do\":\"window\",\"expect\":{\"visible\":true,\"x\":12},\"timeout_ms\":300}\n"
      "{\"do\":\"sleep\",\"ms\":20}\n"
      "{\"do\":\"screenshot\",\"path\":\"out/a.png\"}\n"
      "{\"do\":\"destroy\"}");
  ASSERT_THAT(script.errors, ElementsAre());
  ASSERT_EQ(script.commands.size(), 8u);

  const Command& listen = script.commands[0];
  EXPECT_EQ(listen.kind, CommandKind::kListen);
  EXPECT_EQ(listen.line, 3);
  EXPECT_EQ(listen.method, "listen");
  EXPECT_TRUE(listen.wait);
  EXPECT_EQ(listen.reply.kind, ReplyCheck::Kind::kAny);
  EXPECT_EQ(listen.timeout_ms, 5000);

  const Command& call = script.commands[1];
  EXPECT_EQ(call.channel, kControlChannel);
  EXPECT_EQ(call.arguments, json::parse(R"(["s","u","p"])"));
  EXPECT_EQ(call.reply.kind, ReplyCheck::Kind::kValue);
  EXPECT_EQ(call.reply.value, json(0));

  EXPECT_EQ(script.commands[2].channel, "other");
  EXPECT_FALSE(script.commands[2].wait);
  EXPECT_EQ(script.commands[3].event, json(5));
  EXPECT_EQ(script.commands[3].timeout_ms, 10000);
  EXPECT_THAT(script.commands[4].window_fields,
              ElementsAre(std::pair<std::string, int64_t>("visible", 1),
                          std::pair<std::string, int64_t>("x", 12)));
  EXPECT_EQ(script.commands[4].timeout_ms, 300);
  EXPECT_EQ(script.commands[5].sleep_ms, 20);
  EXPECT_EQ(script.commands[6].path, "out/a.png");
  EXPECT_EQ(script.commands[7].kind, CommandKind::kDestroy);
}

TEST(ScriptParser, ReportsEveryFaultyLineByNumber) {
  const Script script = ParseScript(
      "{\"do\":\"listen\"}\n"
      "not json\n"
      "{\"do\":\"jump\"}\n"
      "{\"do\":\"sleep\",\"ms\":-1}\n"
      "{\"do\":\"call\",\"method\":\"m\",\"chanel\":\"x\"}\n"
      "{\"do\":\"call\",\"method\":\"m\",\"expect\":1,\"expect_no_reply\":true}\n"
      "{\"do\":\"call\",\"method\":\"m\",\"expect\":1,\"wait\":false}\n"
      "{\"do\":\"window\",\"expect\":{\"colour\":1}}\n"
      "{\"do\":\"expect_event\",\"channel\":\"c\"}\n"
      "[1,2]\n"
      "{\"do\":\"show\"}\n");
  EXPECT_THAT(script.errors,
              ElementsAre("line 1: \"channel\" must be a non-empty string",
                          "line 2: not a JSON object", "line 3: unknown command \"jump\"",
                          "line 4: \"ms\" must be a whole number of milliseconds, 0 or more",
                          "line 5: \"call\" takes no \"chanel\"",
                          "line 6: \"expect\", \"expect_error\" and \"expect_no_reply\" exclude "
                          "each other",
                          "line 7: a reply cannot be checked without waiting for it",
                          "line 8: unknown window field \"colour\"", "line 9: \"value\" is missing",
                          "line 10: not a JSON object"));
  ASSERT_EQ(script.commands.size(), 1u);
  EXPECT_EQ(script.commands[0].line, 11);
}

TEST(ValueJson, IntegersKeepTheNarrowestWidthThatHoldsThem) {
  EXPECT_EQ(ValueFromJson(json(2147483647)), EncodableValue(int32_t{2147483647}));
  EXPECT_EQ(ValueFromJson(json(-2147483648LL)), EncodableValue(int32_t{-2147483647 - 1}));
  EXPECT_EQ(ValueFromJson(json(2147483648LL)), EncodableValue(int64_t{2147483648LL}));
  EXPECT_EQ(ValueFromJson(json(std::numeric_limits<uint64_t>::max())),
            EncodableValue(static_cast<double>(std::numeric_limits<uint64_t>::max())));
  EXPECT_EQ(ValueFromJson(json(1.5)), EncodableValue(1.5));
}

TEST(ValueJson, NestedValuesGoBothWays) {
  const json script_value = json::parse(R"({"list":[1,"two",null,true],"n":{"k":2.5}})");
  const EncodableValue value = ValueFromJson(script_value);
  const EncodableValue expected(EncodableMap{
      {EncodableValue("list"),
       EncodableValue(EncodableList{EncodableValue(int32_t{1}), EncodableValue("two"),
                                    EncodableValue(), EncodableValue(true)})},
      {EncodableValue("n"),
       EncodableValue(EncodableMap{{EncodableValue("k"), EncodableValue(2.5)}})},
  });
  EXPECT_EQ(value, expected);
  EXPECT_EQ(JsonFromValue(value), script_value);
}

TEST(ValueJson, ChannelOnlyValuesGetAReadableForm) {
  EXPECT_EQ(JsonText(JsonFromValue(EncodableValue(std::vector<uint8_t>{1, 255}))), "[1,255]");
  EXPECT_EQ(JsonText(JsonFromValue(EncodableValue(int64_t{1} << 40))), "1099511627776");
  EXPECT_EQ(JsonText(JsonFromValue(
                EncodableValue(EncodableMap{{EncodableValue(int32_t{1}), EncodableValue("a")}}))),
            "[[1,\"a\"]]");
  EXPECT_EQ(JsonText(JsonFromValue(EncodableValue(flutter::CustomEncodableValue(3)))), "null");
  // Bytes that are not UTF-8 are replaced, not refused.
  EXPECT_EQ(JsonText(json(std::string("a\xFF"))), "\"a\xEF\xBF\xBD\"");
}

TEST(AnswerDecoding, GivesEachKindOfReplyItsTranscriptForm) {
  const auto& codec = flutter::StandardMethodCodec::GetInstance();
  const EncodableValue one("1");
  EXPECT_EQ(DecodeAnswer(*codec.EncodeSuccessEnvelope(&one)).Text(), "\"1\"");
  EXPECT_EQ(DecodeAnswer(*codec.EncodeSuccessEnvelope()).Text(), "null");
  const Answer error = DecodeAnswer(*codec.EncodeErrorEnvelope("error", "No active stream"));
  EXPECT_EQ(error.kind, Answer::Kind::kError);
  EXPECT_EQ(error.Text(), "error \"error\" \"No active stream\" null");
  EXPECT_EQ(DecodeAnswer({}).Text(), "empty");
  EXPECT_EQ(DecodeAnswer({0x02, 0xAB}).Text(), "undecodable 02ab");
}

}  // namespace
}  // namespace stand_in
