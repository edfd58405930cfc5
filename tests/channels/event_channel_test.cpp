#include <future>
#include <memory>
#include <optional>
#include <sstream>
#include <string>

#include "channels/event_channel.h"
#include "channels/event_stream_handler_functions.h"
#include "tests/channels/messenger_fixture.h"

namespace channels_test {
namespace {

using flutter::EncodableValue;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

using Error = std::unique_ptr<flutter::StreamHandlerError<>>;
using Sink = std::unique_ptr<flutter::EventSink<>>;

constexpr char kChannel[] = "openconnect_events";
const Bytes kNullSuccess = {0x00, 0x00};

// An error envelope with string code and message and no details, spelled out byte by byte.
Bytes ErrorEnvelope(const std::string& code, const std::string& message) {
  Bytes bytes = {0x01};
  for (const std::string* text : {&code, &message}) {
    bytes.push_back(0x07);
    bytes.push_back(static_cast<uint8_t>(text->size()));
    for (char c : *text) {
      bytes.push_back(static_cast<uint8_t>(c));
    }
  }
  bytes.push_back(0x00);
  return bytes;
}

struct ErrorToReturn {
  std::string code;
  std::string message;
  std::optional<EncodableValue> details;
};

// A stream handler that records what the channel asks of it and answers as told.
class EventChannelProtocol : public MessengerTest {
 protected:
  void SetUp() override {
    channel_ = kChannel;
    InstallRecordingHandler();
  }

  void InstallRecordingHandler() {
    Install(std::make_unique<flutter::StreamHandlerFunctions<>>(
        [this](const EncodableValue* arguments, Sink&& sink) {
          calls_.push_back("listen");
          arguments_.push_back(arguments ? std::optional(*arguments) : std::nullopt);
          if (keep_sinks_) {
            sinks_.push_back(std::move(sink));
          }
          return MakeError(listen_error_);
        },
        [this](const EncodableValue* arguments) {
          calls_.push_back("cancel");
          arguments_.push_back(arguments ? std::optional(*arguments) : std::nullopt);
          return MakeError(cancel_error_);
        }));
  }

  // Installs through a channel object that is gone right after.
  void Install(std::unique_ptr<flutter::StreamHandler<>> handler) {
    flutter::EventChannel<>(&messenger_, kChannel, &flutter::StandardMethodCodec::GetInstance())
        .SetStreamHandler(std::move(handler));
  }

  Error MakeError(const std::optional<ErrorToReturn>& error) {
    if (!error) {
      return nullptr;
    }
    auto made = std::make_unique<flutter::StreamHandlerError<>>(flutter::StreamHandlerError<>{
        error->code, error->message,
        error->details ? std::make_unique<EncodableValue>(*error->details) : nullptr});
    details_address_ = made->details.get();
    return made;
  }

  // The messages the sinks sent on the channel.
  std::vector<testing_fakes::MessengerCall> Sent() const {
    return embedder_.CallsTo(MessengerFunction::kSend);
  }

  std::vector<std::string> calls_;
  std::vector<std::optional<EncodableValue>> arguments_;
  std::vector<Sink> sinks_;
  bool keep_sinks_ = true;
  std::optional<ErrorToReturn> listen_error_;
  std::optional<ErrorToReturn> cancel_error_;
  const void* details_address_ = nullptr;
};

TEST_F(EventChannelProtocol, ListenWhenIdleHandsOverArgumentsAndASinkOnTheSameChannel) {
  const auto response = Call("listen", EncodableValue(int32_t{5}));

  EXPECT_EQ(response->bytes, kNullSuccess);
  EXPECT_THAT(calls_, ElementsAre("listen"));
  EXPECT_THAT(arguments_, ElementsAre(EncodableValue(int32_t{5})));
  ASSERT_EQ(sinks_.size(), 1u);

  const EncodableValue event(int32_t{4});
  sinks_[0]->Success(&event);

  ASSERT_EQ(Sent().size(), 1u);
  EXPECT_EQ(Sent()[0].channel, kChannel);
  EXPECT_EQ(Sent()[0].bytes, (Bytes{0x00, 0x03, 0x04, 0x00, 0x00, 0x00}));
  EXPECT_THAT(log_.Err(), IsEmpty());
}

TEST_F(EventChannelProtocol, ListenWhileListeningCancelsFirstWithEmptyArguments) {
  Call("listen");
  const auto response = Call("listen", EncodableValue("again"));

  EXPECT_EQ(response->bytes, kNullSuccess);
  EXPECT_THAT(calls_, ElementsAre("listen", "cancel", "listen"));
  EXPECT_THAT(arguments_, ElementsAre(EncodableValue(), std::nullopt, EncodableValue("again")));
  EXPECT_THAT(log_.Err(), IsEmpty());
}

TEST_F(EventChannelProtocol, FailedCancelBeforeARelistenWritesAnUnterminatedLine) {
  Call("listen");
  cancel_error_ = ErrorToReturn{"busy", "still closing", std::nullopt};

  const auto response = Call("listen");

  EXPECT_EQ(response->bytes, kNullSuccess) << "the listen goes on regardless";
  EXPECT_THAT(calls_, ElementsAre("listen", "cancel", "listen"));
  EXPECT_EQ(log_.Err(), "Failed to cancel existing stream: busy, still closing, 0");

  // Whatever is written next continues the same line.
  logging::Err("next");
  EXPECT_EQ(log_.Err(), "Failed to cancel existing stream: busy, still closing, 0next\n");
}

TEST_F(EventChannelProtocol, FailedCancelLineShowsTheAddressOfTheDetails) {
  Call("listen");
  cancel_error_ = ErrorToReturn{"busy", "", EncodableValue(int32_t{1})};

  Call("listen");

  std::ostringstream address;
  address << details_address_;
  ASSERT_NE(details_address_, nullptr);
  EXPECT_EQ(log_.Err(), "Failed to cancel existing stream: busy, , " + address.str());
}

TEST_F(EventChannelProtocol, FailedListenAnswersTheErrorAndStaysListening) {
  listen_error_ = ErrorToReturn{"bad", "no", EncodableValue(int32_t{7})};

  const auto listen = Call("listen");

  EXPECT_EQ(listen->bytes, (Bytes{0x01, 0x07, 0x03, 'b', 'a', 'd', 0x07, 0x02, 'n', 'o', 0x03, 0x07,
                                  0x00, 0x00, 0x00}));
  const auto cancel = Call("cancel");
  EXPECT_EQ(cancel->bytes, kNullSuccess);
  EXPECT_THAT(calls_, ElementsAre("listen", "cancel"));
}

TEST_F(EventChannelProtocol, CancelWhileListeningPassesArgumentsAndGoesIdle) {
  Call("listen");

  const auto cancel = Call("cancel", EncodableValue("bye"));
  const auto again = Call("cancel");

  EXPECT_EQ(cancel->bytes, kNullSuccess);
  EXPECT_THAT(arguments_, ElementsAre(EncodableValue(), EncodableValue("bye")));
  EXPECT_EQ(again->bytes, ErrorEnvelope("error", "No active stream to cancel"));
  EXPECT_THAT(calls_, ElementsAre("listen", "cancel"));
}

TEST_F(EventChannelProtocol, FailedCancelAnswersTheErrorAndStillGoesIdle) {
  Call("listen");
  cancel_error_ = ErrorToReturn{"E", "m", std::nullopt};

  const auto cancel = Call("cancel");
  const auto again = Call("cancel");

  EXPECT_EQ(cancel->bytes, ErrorEnvelope("E", "m"));
  EXPECT_EQ(again->bytes, ErrorEnvelope("error", "No active stream to cancel"));
  EXPECT_THAT(calls_, ElementsAre("listen", "cancel"));
}

TEST_F(EventChannelProtocol, CancelWhenIdleAnswersNoActiveStreamAndCallsNothing) {
  const auto response = Call("cancel");

  EXPECT_EQ(response->bytes, ErrorEnvelope("error", "No active stream to cancel"));
  EXPECT_THAT(calls_, IsEmpty());
}

TEST_F(EventChannelProtocol, OtherNamesAreAnsweredWithNoDataAndLeaveTheStateAlone) {
  const std::string names[] = {"Listen",   "listen ", "listenx", std::string("listen\0", 7),
                               "cancel\n", "CANCEL",  "",        "vpnConnected"};
  for (const std::string& name : names) {
    const auto response = Call(name);
    ASSERT_TRUE(response.has_value()) << '"' << name << '"';
    EXPECT_TRUE(response->null_data) << '"' << name << '"';
  }
  EXPECT_THAT(calls_, IsEmpty());
  EXPECT_EQ(Call("cancel")->bytes, ErrorEnvelope("error", "No active stream to cancel"))
      << "an other name made the channel listen";

  Call("listen");
  Call("Cancel");
  EXPECT_EQ(Call("cancel")->bytes, kNullSuccess) << "an other name stopped the stream";
  EXPECT_THAT(log_.Err(), IsEmpty());
}

TEST_F(EventChannelProtocol, UndecodableMessageWritesOneLineAndAnswersWithNoData) {
  const auto response =
      embedder_.ResponseTo(embedder_.Deliver(kChannel, {0x03, 0x01, 0x00, 0x00, 0x00}));

  ASSERT_TRUE(response.has_value());
  EXPECT_TRUE(response->null_data);
  EXPECT_THAT(calls_, IsEmpty());
  EXPECT_EQ(log_.Err(),
            "Invalid method call; method name is not a string.\n"
            "Unable to construct method call from message on channel: openconnect_events\n");
}

TEST_F(EventChannelProtocol, MissingListenFunctionAnswersItsErrorAndTheSinkSendsNothing) {
  Install(std::make_unique<flutter::StreamHandlerFunctions<>>(nullptr, nullptr));

  const auto listen = Call("listen");
  const auto cancel = Call("cancel");

  EXPECT_EQ(listen->bytes, ErrorEnvelope("error", "No OnListen handler set"));
  EXPECT_EQ(cancel->bytes, ErrorEnvelope("error", "No OnCancel handler set"));
  EXPECT_THAT(Sent(), IsEmpty());
}

TEST_F(EventChannelProtocol, EmptyHandlerRemovesTheRegistrationAndANewOneStartsIdle) {
  Call("listen");
  Install(nullptr);
  EXPECT_EQ(embedder_.Registration(kChannel), std::nullopt);

  InstallRecordingHandler();
  calls_.clear();

  EXPECT_EQ(Call("cancel")->bytes, ErrorEnvelope("error", "No active stream to cancel"));
  EXPECT_THAT(calls_, IsEmpty());
}

class EventSinks : public EventChannelProtocol {
 protected:
  flutter::EventSink<>& ListenAndTakeSink() {
    Call("listen");
    return *sinks_.back();
  }
};

TEST_F(EventSinks, SendSuccessAndErrorEnvelopesAndAnEmptyEndOfStream) {
  flutter::EventSink<>& sink = ListenAndTakeSink();
  const EncodableValue text("on");

  sink.Success(&text);
  sink.Success(nullptr);
  sink.Error("E", "m", nullptr);
  sink.EndOfStream();

  const auto sent = Sent();
  ASSERT_EQ(sent.size(), 4u);
  EXPECT_EQ(sent[0].bytes, (Bytes{0x00, 0x07, 0x02, 'o', 'n'}));
  EXPECT_EQ(sent[1].bytes, kNullSuccess);
  EXPECT_EQ(sent[2].bytes, ErrorEnvelope("E", "m"));
  EXPECT_TRUE(sent[3].null_data);
  EXPECT_EQ(sent[3].size, 0u);
  for (const auto& call : sent) {
    EXPECT_EQ(call.channel, kChannel);
  }
  EXPECT_EQ(embedder_.CountOf(MessengerFunction::kSendWithReply), 0u);
}

TEST_F(EventSinks, DestroyingASinkSendsNothing) {
  ListenAndTakeSink();
  sinks_.clear();

  keep_sinks_ = false;
  Call("listen");

  EXPECT_THAT(Sent(), IsEmpty());
}

TEST_F(EventSinks, ASinkFromAnEarlierListenStillSendsAfterCancel) {
  flutter::EventSink<>& first = ListenAndTakeSink();
  Call("cancel");

  const EncodableValue event(int32_t{6});
  first.Success(&event);

  ASSERT_EQ(Sent().size(), 1u);
  EXPECT_EQ(Sent()[0].bytes, (Bytes{0x00, 0x03, 0x06, 0x00, 0x00, 0x00}));
}

TEST_F(EventSinks, WorkerThreadsSendThroughTheSinkDirectly) {
  flutter::EventSink<>& sink = ListenAndTakeSink();

  std::future<void> worker = std::async(std::launch::async, [&sink] {
    for (int32_t code : {4, 5, 6}) {
      const EncodableValue event(code);
      sink.Success(&event);
    }
  });
  ASSERT_TRUE(FinishesInTime(worker));

  const auto sent = Sent();
  ASSERT_EQ(sent.size(), 3u);
  EXPECT_NE(sent[0].thread, std::this_thread::get_id());
  EXPECT_EQ(sent[2].bytes, (Bytes{0x00, 0x03, 0x06, 0x00, 0x00, 0x00}));
}

}  // namespace
}  // namespace channels_test
