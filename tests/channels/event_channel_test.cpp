#include <future>
#include <memory>
#include <optional>
#include <sstream>
#include <string>

#include "channels/event_channel.h"
#include "channels/event_stream_handler_functions.h"
#include "tests/channels/codec_test_util.h"
#include "tests/channels/messenger_fixture.h"
#include "tests/support/encodable_value_printer.h"

namespace channels_test {
namespace {

using flutter::EncodableValue;
using ::testing::IsEmpty;

using Error = std::unique_ptr<flutter::StreamHandlerError<>>;
using Sink = std::unique_ptr<flutter::EventSink<>>;

// An error envelope with string code and message and no details, spelled out byte by byte.
Bytes ErrorEnvelope(const std::string& code, const std::string& message) {
  Bytes bytes = {0x01};
  for (const std::string& text : {code, message}) {
    bytes.insert(bytes.end(), {0x07, static_cast<uint8_t>(text.size())});
    bytes.insert(bytes.end(), text.begin(), text.end());
  }
  bytes.push_back(0x00);
  return bytes;
}

const Bytes kOk = {0x00, 0x00};  // success with a null result
const Bytes kNone = {};          // no data
const Bytes kIdle = ErrorEnvelope("error", "No active stream to cancel");
const Bytes kListenError = codec_test::Hex("01 0703626164 07026E6F 0307000000");  // "bad", "no", 7
const Bytes kCancelError = ErrorEnvelope("E", "m");

// A stream handler that records what the channel asks of it and answers as told.
class EventChannelProtocol : public MessengerTest {
 protected:
  void SetUp() override {
    channel_ = "openconnect_events";
    InstallRecordingHandler();
  }

  void InstallRecordingHandler() {
    Install(std::make_unique<flutter::StreamHandlerFunctions<>>(
        [this](const EncodableValue* arguments, Sink&& sink) {
          Record("listen", arguments);
          sinks_.push_back(std::move(sink));
          return listen_fails_ ? MakeError("bad", "no", EncodableValue(int32_t{7})) : nullptr;
        },
        [this](const EncodableValue* arguments) {
          Record("cancel", arguments);
          return cancel_fails_ ? MakeError("E", "m", cancel_details_) : nullptr;
        }));
  }

  // Installs through a channel object that is gone right after.
  void Install(std::unique_ptr<flutter::StreamHandler<>> handler) {
    flutter::EventChannel<>(&messenger_, channel_, &flutter::StandardMethodCodec::GetInstance())
        .SetStreamHandler(std::move(handler));
  }

  // "listen(<arguments>)", with nothing between the brackets for an empty arguments pointer.
  void Record(const std::string& call, const EncodableValue* arguments) {
    calls_.push_back(call + "(" + (arguments ? testing::PrintToString(*arguments) : "") + ")");
  }

  Error MakeError(const char* code, const char* message, const EncodableValue& details) {
    auto error = std::make_unique<flutter::StreamHandlerError<>>(flutter::StreamHandlerError<>{
        code, message, details.IsNull() ? nullptr : std::make_unique<EncodableValue>(details)});
    details_address_ = error->details.get();
    return error;
  }

  // The answer's bytes, with no data as empty bytes.
  Bytes Answer(const std::string& method, const EncodableValue& arguments = {}) {
    const auto response = Call(method, arguments);
    EXPECT_TRUE(response.has_value()) << method << " was not answered";
    if (!response) return {0xEE};
    EXPECT_EQ(response->null_data, response->bytes.empty()) << method;
    return response->bytes;
  }

  std::vector<std::string> calls_;
  std::vector<Sink> sinks_;
  bool listen_fails_ = false;
  bool cancel_fails_ = false;
  EncodableValue cancel_details_;  // null: none
  const void* details_address_ = nullptr;
};

struct Step {
  std::string method;
  EncodableValue arguments;
  Bytes answer;
};
using Steps = std::vector<Step>;
using Calls = std::vector<std::string>;

struct ProtocolCase {
  const char* name;
  bool listen_fails;  // with "bad", "no" and details int32 7
  bool cancel_fails;  // with "E", "m" and no details
  Steps steps;
  Calls handler_calls;
  std::string log;
};

TEST_F(EventChannelProtocol, EachMessageInEachStateCallsTheHandlerAndAnswersAsTheTableSays) {
  const EncodableValue null;
  const ProtocolCase cases[] = {
      {"listen when idle", false, false, Steps{{"listen", int32_t{5}, kOk}}, Calls{"listen(<2>5)"},
       ""},
      {"re-listen cancels first with empty arguments", false, false,
       Steps{{"listen", null, kOk}, {"listen", "again", kOk}},
       Calls{"listen(<0>null)", "cancel()", "listen(<5>\"again\")"}, ""},
      {"a failed cancel before a re-listen is only written, unterminated", false, true,
       Steps{{"listen", null, kOk}, {"listen", null, kOk}},
       Calls{"listen(<0>null)", "cancel()", "listen(<0>null)"},
       "Failed to cancel existing stream: E, m, 0"},
      {"a failed listen answers its error and stays listening", true, false,
       Steps{{"listen", null, kListenError}, {"cancel", null, kOk}},
       Calls{"listen(<0>null)", "cancel(<0>null)"}, ""},
      {"cancel passes its arguments and goes idle", false, false,
       Steps{{"listen", null, kOk}, {"cancel", "bye", kOk}, {"cancel", null, kIdle}},
       Calls{"listen(<0>null)", "cancel(<5>\"bye\")"}, ""},
      {"a failed cancel answers its error and still goes idle", false, true,
       Steps{{"listen", null, kOk}, {"cancel", null, kCancelError}, {"cancel", null, kIdle}},
       Calls{"listen(<0>null)", "cancel(<0>null)"}, ""},
      {"cancel when idle calls nothing", false, false, Steps{{"cancel", null, kIdle}}, Calls{}, ""},
      {"other names change nothing when idle", false, false,
       Steps{Step{"Listen", null, kNone}, Step{"listen ", null, kNone},
             Step{"listenx", null, kNone}, Step{std::string("listen\0", 7), null, kNone},
             Step{"cancel\n", null, kNone}, Step{"CANCEL", null, kNone}, Step{"", null, kNone},
             Step{"vpnConnected", null, kNone}, Step{"cancel", null, kIdle}},
       Calls{}, ""},
      {"other names change nothing while listening", false, false,
       Steps{{"listen", null, kOk}, {"Cancel", null, kNone}, {"cancel", null, kOk}},
       Calls{"listen(<0>null)", "cancel(<0>null)"}, ""},
  };
  for (const ProtocolCase& test : cases) {
    SCOPED_TRACE(test.name);
    listen_fails_ = test.listen_fails;
    cancel_fails_ = test.cancel_fails;
    InstallRecordingHandler();  // starts idle, even where the row before ended listening
    calls_.clear();
    log_.Clear();
    for (const Step& step : test.steps) {
      EXPECT_EQ(Answer(step.method, step.arguments), step.answer) << '"' << step.method << '"';
    }
    EXPECT_EQ(calls_, test.handler_calls);
    EXPECT_EQ(log_.Err(), test.log);
  }
}

TEST_F(EventChannelProtocol, FailedCancelLineShowsTheAddressOfTheDetailsAndLeavesTheLineOpen) {
  Call("listen");
  cancel_fails_ = true;
  cancel_details_ = int32_t{1};

  Call("listen");
  logging::Err("next");

  std::ostringstream address;
  address << details_address_;
  ASSERT_NE(details_address_, nullptr);
  EXPECT_EQ(log_.Err(), "Failed to cancel existing stream: E, m, " + address.str() + "next\n");
}

TEST_F(EventChannelProtocol, UndecodableMessageWritesOneLineAndAnswersWithNoData) {
  const auto response =
      embedder_.ResponseTo(embedder_.Deliver(channel_, {0x03, 0x01, 0x00, 0x00, 0x00}));

  ASSERT_TRUE(response.has_value());
  EXPECT_TRUE(response->null_data);
  EXPECT_THAT(calls_, IsEmpty());
  EXPECT_EQ(log_.Err(),
            "Invalid method call; method name is not a string.\n"
            "Unable to construct method call from message on channel: openconnect_events\n");
}

TEST_F(EventChannelProtocol, MissingFunctionsAnswerTheirErrorsAndAnEmptyHandlerUnregisters) {
  Install(std::make_unique<flutter::StreamHandlerFunctions<>>(nullptr, nullptr));
  EXPECT_EQ(Answer("listen"), ErrorEnvelope("error", "No OnListen handler set"));
  EXPECT_EQ(Answer("cancel"), ErrorEnvelope("error", "No OnCancel handler set"));
  EXPECT_THAT(embedder_.CallsTo(MessengerFunction::kSend), IsEmpty()) << "the sink was used";

  Install(nullptr);
  EXPECT_EQ(embedder_.Registration(channel_), std::nullopt);
}

// A sink from a listen that was since cancelled still sends whatever it is given, from any thread,
// on the channel's name, and destroying it sends nothing.
TEST_F(EventChannelProtocol, SinksSendEnvelopesAndAnEmptyEndOfStreamFromAnyThread) {
  Call("listen");
  Call("cancel");
  flutter::EventSink<>& sink = *sinks_.back();

  std::future<void> worker = std::async(std::launch::async, [&sink] {
    const EncodableValue text("on");
    sink.Success(&text);
    sink.Success(nullptr);
    sink.Error("E", "m", nullptr);
    sink.EndOfStream();
  });
  ASSERT_TRUE(FinishesInTime(worker));
  sinks_.clear();

  const auto sent = embedder_.CallsTo(MessengerFunction::kSend);
  ASSERT_EQ(sent.size(), 4u);
  EXPECT_EQ(sent[0].bytes, (Bytes{0x00, 0x07, 0x02, 'o', 'n'}));
  EXPECT_EQ(sent[1].bytes, kOk);
  EXPECT_EQ(sent[2].bytes, kCancelError);
  EXPECT_TRUE(sent[3].null_data);
  EXPECT_EQ(sent[3].size, 0u);
  for (const auto& call : sent) {
    EXPECT_EQ(call.channel, "openconnect_events");
    EXPECT_NE(call.thread, std::this_thread::get_id());
  }
  EXPECT_EQ(embedder_.CallsTo(MessengerFunction::kSendWithReply).size(), 0u);
}

}  // namespace
}  // namespace channels_test
