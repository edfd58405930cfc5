#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "channels/standard_method_codec.h"
#include "stand_ins/embedder/answer.h"
#include "stand_ins/embedder/script.h"
#include "stand_ins/embedder/status_panel.h"
#include "stand_ins/embedder/value_json.h"
#include "tests/support/encodable_value_printer.h"

namespace stand_in {
namespace {

using flutter::EncodableMap;
using flutter::EncodableValue;
using nlohmann::json;
using testing::ElementsAre;
using testing::Pair;

Answer Success(const json& value) {
  Answer answer;
  answer.kind = Answer::Kind::kSuccess;
  answer.value = value;
  return answer;
}

// The demo's flow, then what has no name: a code is named only on its own stream, and anything
// else keeps its transcript form.
TEST(StatusPanel, NamesEachStreamsLastEventTheProxyRequestAndTheLastVpnConnectedReply) {
  StatusPanel panel;
  panel.RecordEvent("openconnect_events", Success(4));
  panel.RecordEvent("openconnect_events", Success(5));
  panel.RecordReply("vpnConnected", Success("1"));
  panel.RecordEvent("v2ray_events", Success(3));
  panel.RecordEvent("v2ray_events", Success(8));
  panel.RecordEvent("v2ray_events", Success(61));
  panel.RecordEvent("test_events", Success(6));
  panel.RecordReply("screen_size", Success("1280,1024"));
  panel.RecordReply("test/vpnConnected", Success("0"));
  EXPECT_THAT(panel.Lines(), ElementsAre("OpenConnect: Connected", "Xray: Started",
                                         "vpnConnected: \"1\"", "System proxy request: on"));

  panel.RecordEvent("v2ray_events", Success(9));
  panel.RecordEvent("v2ray_events", Success(41));
  panel.RecordEvent("openconnect_events", Success(61));
  panel.RecordReply("vpnConnected",
                    DecodeAnswer(*flutter::StandardMethodCodec::GetInstance().EncodeErrorEnvelope(
                        "error", "No active stream")));
  EXPECT_THAT(panel.Lines(), ElementsAre("OpenConnect: 61", "Xray: Stopped",
                                         "vpnConnected: error \"error\" \"No active stream\" null",
                                         "System proxy request: off"));
  panel.RecordEvent("openconnect_events", Answer());
  EXPECT_EQ(panel.Lines().front(), "OpenConnect: end of stream");
}

// A CR LF line end, a comment and a blank line are no faults; the good lines are kept, numbered
// as in the file.
TEST(ScriptParser, ReadsTheGoodLinesAndNamesEveryFaultyOne) {
  const Script script = ParseScript(
      "# comment\n\n"
      R"({"do":"window","expect":{"visible":true,"x":12}})"
      "\r\n"
      R"({"do":"listen"}
not json
{"do":"jump"}
{"do":"sleep","ms":-1}
{"do":"call","method":"m","chanel":"x"}
{"do":"call","method":"m","expect":1,"expect_no_reply":true}
{"do":"call","method":"m","expect":1,"wait":false}
{"do":"window","expect":{"colour":1}}
{"do":"expect_event","channel":"c"}
{"do":"show"})");
  EXPECT_THAT(
      script.errors,
      ElementsAre("line 4: \"channel\" must be a non-empty string", "line 5: not a JSON object",
                  "line 6: unknown command \"jump\"",
                  "line 7: \"ms\" must be a whole number of milliseconds, 0 or more",
                  "line 8: \"call\" takes no \"chanel\"",
                  "line 9: \"expect\", \"expect_error\" and \"expect_no_reply\" exclude "
                  "each other",
                  "line 10: a reply cannot be checked without waiting for it",
                  "line 11: unknown window field \"colour\"", "line 12: \"value\" is missing"));
  ASSERT_EQ(script.commands.size(), 2u);
  EXPECT_EQ(script.commands[0].line, 3);
  EXPECT_THAT(script.commands[0].window_fields, ElementsAre(Pair("visible", 1), Pair("x", 12)));
  EXPECT_EQ(script.commands[1].line, 13);
}

// Small integers, strings, null and lists show in the runs of the stand-in's scripts.
TEST(ValueJson, ValuesGoBetweenScriptsChannelsAndTheTranscript) {
  // Integers keep the narrowest width that holds them.
  const std::pair<json, EncodableValue> both_ways[] = {
      {json(2147483647), EncodableValue(int32_t{2147483647})},
      {json(-2147483648LL), EncodableValue(int32_t{-2147483647 - 1})},
      {json(2147483648LL), EncodableValue(int64_t{2147483648LL})},
  };
  for (const auto& [script_value, channel_value] : both_ways) {
    SCOPED_TRACE(script_value.dump());
    EXPECT_EQ(ValueFromJson(script_value), channel_value);
    EXPECT_EQ(JsonFromValue(channel_value), script_value);
  }
  // Values that scripts cannot write get a readable form; text that is not UTF-8 is replaced.
  const std::pair<EncodableValue, std::string> one_way[] = {
      {EncodableValue(std::vector<uint8_t>{1, 255}), "[1,255]"},
      {EncodableValue(EncodableMap{{EncodableValue(int32_t{1}), EncodableValue("a")}}),
       "[[1,\"a\"]]"},
      {EncodableValue(std::string("a\xFF")), "\"a\xEF\xBF\xBD\""},
  };
  for (const auto& [value, text] : one_way) EXPECT_EQ(JsonText(JsonFromValue(value)), text);
}

// A success, an error and an empty reply show above and in the runs of the stand-in's scripts.
TEST(AnswerDecoding, ShowsTheBytesOfAReplyThatIsNoEnvelope) {
  EXPECT_EQ(DecodeAnswer({0x02, 0xAB}).Text(), "undecodable 02ab");
}

}  // namespace
}  // namespace stand_in
