#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <utility>
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
using testing::Pair;

std::vector<uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

TEST(PngWriter, ChecksumsMatchZlibs) {
  // Long enough for both sums to wrap many times; the values come from Python's zlib.
  const std::vector<uint8_t> long_run(100000, 0xFF);
  EXPECT_EQ(Crc32(Bytes("123456789").data(), 9), 0xCBF43926u);
  EXPECT_EQ(Crc32(long_run.data(), long_run.size()), 0x68C6CEC4u);
  EXPECT_EQ(Adler32(Bytes("Wikipedia").data(), 9), 0x11E60398u);
  EXPECT_EQ(Adler32(long_run.data(), long_run.size()), 0x149A302Cu);
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
  uint32_t width = 0;
  uint32_t height = 0;
  EXPECT_EQ(testing_support::ReadStoredPng(EncodePng(image), &width, &height), image.pixels);
  EXPECT_EQ(width, 200u);
  EXPECT_EQ(height, 150u);
  // Pixels that do not match the size are refused, not read past.
  EXPECT_TRUE(EncodePng(RgbImage{2, 2, {1, 2, 3}}).empty());
  EXPECT_TRUE(EncodePng(RgbImage{0, 0, {}}).empty());
}

TEST(ScriptParser, ReadsTheGoodLinesAndNamesEveryFaultyOne) {
  const Script script = ParseScript(
      "# comment\n"
      "\n"
      "{\"do\":\"listen\",\"channel\":\"openconnect_events\"}\r\n"
      "{\"do\":\"call\",\"method\":\"toggleOpenConnect\",\"args\":[\"s\",\"u\",\"p\"],"
      "\"expect\":0}\n"
      "{\"do\":\"call\",\"channel\":\"other\",\"method\":\"m\",\"wait\":false}\n"
      "{\"do\":\"window\",\"expect\":{\"visible\":true,\"x\":12},\"timeout_ms\":300}\n"
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
      "{\"do\":\"show\"}");
  EXPECT_THAT(script.errors,
              ElementsAre("line 7: \"channel\" must be a non-empty string",
                          "line 8: not a JSON object", "line 9: unknown command \"jump\"",
                          "line 10: \"ms\" must be a whole number of milliseconds, 0 or more",
                          "line 11: \"call\" takes no \"chanel\"",
                          "line 12: \"expect\", \"expect_error\" and \"expect_no_reply\" exclude "
                          "each other",
                          "line 13: a reply cannot be checked without waiting for it",
                          "line 14: unknown window field \"colour\"",
                          "line 15: \"value\" is missing", "line 16: not a JSON object"));
  std::vector<std::pair<CommandKind, int>> kinds;
  for (const Command& command : script.commands) kinds.emplace_back(command.kind, command.line);
  ASSERT_THAT(kinds, ElementsAre(Pair(CommandKind::kListen, 3), Pair(CommandKind::kCall, 4),
                                 Pair(CommandKind::kCall, 5), Pair(CommandKind::kWindow, 6),
                                 Pair(CommandKind::kShow, 17)));
  EXPECT_EQ(script.commands[0].method, "listen");
  EXPECT_EQ(script.commands[1].channel, kControlChannel);
  EXPECT_EQ(script.commands[1].arguments, json::parse(R"(["s","u","p"])"));
  EXPECT_EQ(script.commands[1].reply.kind, ReplyCheck::Kind::kValue);
  EXPECT_EQ(script.commands[1].reply.value, json(0));
  EXPECT_EQ(script.commands[2].channel, "other");
  EXPECT_FALSE(script.commands[2].wait);
  EXPECT_THAT(script.commands[3].window_fields, ElementsAre(Pair("visible", 1), Pair("x", 12)));
}

TEST(ValueJson, ScriptValuesBecomeChannelValuesAndBack) {
  // Integers keep the narrowest width that holds them.
  const std::pair<json, EncodableValue> both_ways[] = {
      {json(2147483647), EncodableValue(int32_t{2147483647})},
      {json(-2147483648LL), EncodableValue(int32_t{-2147483647 - 1})},
      {json(2147483648LL), EncodableValue(int64_t{2147483648LL})},
      {json(1.5), EncodableValue(1.5)},
      {json::parse(R"({"list":[1,"two",null,true],"n":{"k":2.5}})"),
       EncodableValue(EncodableMap{
           {EncodableValue("list"),
            EncodableValue(EncodableList{EncodableValue(int32_t{1}), EncodableValue("two"),
                                         EncodableValue(), EncodableValue(true)})},
           {EncodableValue("n"),
            EncodableValue(EncodableMap{{EncodableValue("k"), EncodableValue(2.5)}})}})},
  };
  for (const auto& [script_value, channel_value] : both_ways) {
    SCOPED_TRACE(script_value.dump());
    EXPECT_EQ(ValueFromJson(script_value), channel_value);
    EXPECT_EQ(JsonFromValue(channel_value), script_value);
  }
  EXPECT_EQ(ValueFromJson(json(std::numeric_limits<uint64_t>::max())),
            EncodableValue(static_cast<double>(std::numeric_limits<uint64_t>::max())));
}

TEST(ValueJson, ChannelOnlyValuesGetAReadableForm) {
  const std::pair<EncodableValue, std::string> cases[] = {
      {EncodableValue(std::vector<uint8_t>{1, 255}), "[1,255]"},
      {EncodableValue(EncodableMap{{EncodableValue(int32_t{1}), EncodableValue("a")}}),
       "[[1,\"a\"]]"},
      {EncodableValue(flutter::CustomEncodableValue(3)), "null"},
  };
  for (const auto& [value, text] : cases) EXPECT_EQ(JsonText(JsonFromValue(value)), text);
  // Bytes that are not UTF-8 are replaced, not refused.
  EXPECT_EQ(JsonText(json(std::string("a\xFF"))), "\"a\xEF\xBF\xBD\"");
}

TEST(AnswerDecoding, GivesEachKindOfReplyItsTranscriptForm) {
  const auto& codec = flutter::StandardMethodCodec::GetInstance();
  const EncodableValue one("1");
  const std::pair<std::vector<uint8_t>, std::string> cases[] = {
      {*codec.EncodeSuccessEnvelope(&one), "\"1\""},
      {*codec.EncodeSuccessEnvelope(), "null"},
      {*codec.EncodeErrorEnvelope("error", "No active stream"),
       "error \"error\" \"No active stream\" null"},
      {{}, "empty"},
      {{0x02, 0xAB}, "undecodable 02ab"},
  };
  for (const auto& [bytes, text] : cases) EXPECT_EQ(DecodeAnswer(bytes).Text(), text);
}

}  // namespace
}  // namespace stand_in
