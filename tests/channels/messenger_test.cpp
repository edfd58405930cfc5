// The messenger over the embedder's messaging functions, and the method and event channels on top
// of it, against the recording embedder. After each test the embedder must have seen no breach of
// its protocol (a response under the lock, once, while available; locks paired) and every
// add-ref must have been released: those checks are the fake's, not restated here.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "channels/binary_messenger_impl.h"
#include "channels/event_channel.h"
#include "channels/event_stream_handler_functions.h"
#include "channels/method_channel.h"
#include "channels/standard_method_codec.h"
#include "tests/channels/channels_test_util.h"
#include "tests/fakes/recording_messenger.h"

extern "C" size_t EmbedderMessageRecordSizeInC(void);

namespace channels_test {
namespace {

using testing::ElementsAre;
using testing::IsEmpty;
using testing_fakes::MessengerFunction;
using testing_fakes::Response;

// An object whose use count shows whether a callable that captured it is still alive.
using Token = std::shared_ptr<int>;
using Result = std::unique_ptr<flutter::MethodResult<>>;

const flutter::StandardMethodCodec* Codec() { return &flutter::StandardMethodCodec::GetInstance(); }

// The encoded call `name` with `arguments`, as the UI side sends it.
Bytes EncodedCall(const std::string& name, EncodableValue arguments = {}) {
  return *Codec()->EncodeMethodCall(
      flutter::MethodCall<>(name, std::make_unique<EncodableValue>(std::move(arguments))));
}

bool FinishesInTime(std::future<void>& work) {
  return work.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
}

class MessengerTest : public testing::Test {
 protected:
  void TearDown() override {
    EXPECT_THAT(embedder_.Violations(), IsEmpty());
    EXPECT_EQ(embedder_.OutstandingReferences(), 0);
  }

  // The response that came back at once to `name` with `arguments` on `channel_`, if any.
  std::optional<Response> Call(const std::string& name, EncodableValue arguments = {}) {
    return embedder_.ResponseTo(embedder_.Deliver(channel_, EncodedCall(name, arguments)));
  }
  // Its bytes, where one must have come; no data is a null pointer.
  Bytes Answer(const std::string& name, EncodableValue arguments = {}) {
    const std::optional<Response> response = Call(name, std::move(arguments));
    EXPECT_TRUE(response && response->null_data == response->bytes.empty()) << name;
    return response ? response->bytes : Bytes{0xEE};
  }

  std::string channel_ = "quorvanta/channeling";
  testing_support::LogCapture log_;
  testing_fakes::RecordingMessenger embedder_;
  flutter::BinaryMessengerImpl messenger_{embedder_.handle()};
};

// The embedder fills the message record from C; both languages must agree on its layout.
TEST(EmbedderInterface, MessageRecordHasTheSameLayoutInCAndCpp) {
  EXPECT_EQ(EmbedderMessageRecordSizeInC(), sizeof(FlutterDesktopMessage));
}

using BinaryMessenger = MessengerTest;

// An accepted send holds its reply until the answer and calls it once; a refused one frees it.
TEST_F(BinaryMessenger, TheReplyIsCalledOnceOrFreedUncalledWhenRefused) {
  const Bytes message = {7, 1, 'x', 0};
  for (const bool accept : {true, false}) {
    SCOPED_TRACE(accept ? "accepted" : "refused");
    embedder_.SetAcceptSendsWithReply(accept);
    Token token = std::make_shared<int>(0);
    std::vector<Bytes> replies;
    messenger_.Send(channel_, message.data(), message.size(),
                    [token, &replies](const uint8_t* reply, size_t size) {
                      replies.emplace_back(reply, reply + size);
                    });
    EXPECT_EQ(token.use_count(), accept ? 2 : 1) << "the pending record holds the reply";
    EXPECT_EQ(embedder_.AnswerPendingSend({0, 7, 1, '1'}), accept);
    EXPECT_EQ(replies, (accept ? std::vector<Bytes>{{0, 7, 1, '1'}} : std::vector<Bytes>{}));
    EXPECT_EQ(token.use_count(), 1) << "the pending record was not freed";
    EXPECT_EQ(embedder_.Calls().back().bytes, message);
  }
}

// One handler per name: a second replaces (and destroys) the first and is registered with its own
// address, which stays valid while other names come and go; removing destroys it and tells the
// embedder; the messenger's end destroys the handlers and unregisters nothing.
TEST_F(BinaryMessenger, OneHandlerPerNameAtAStableAddressUntilRemovedOrTheMessengerEnds) {
  auto messenger = std::make_unique<flutter::BinaryMessengerImpl>(embedder_.handle());
  std::vector<std::string> received;
  auto handler = [&received](std::string name, Token token) {
    return [&received, name, token](const uint8_t* message, size_t size, flutter::ChannelReply) {
      received.push_back(name + std::string(message, message + size));
    };
  };
  Token first = std::make_shared<int>(0);
  Token second = std::make_shared<int>(0);
  messenger->SetMessageHandler("v2ray_events", handler("first ", first));
  messenger->SetMessageHandler("v2ray_events", handler("second ", second));
  EXPECT_EQ(first.use_count(), 1) << "the replaced handler is still alive";
  // Names sorting before and after, so that the map rebalances around the stored handler.
  for (int i = 0; i < 64; ++i) {
    std::string name(1, i % 2 == 0 ? 'a' : 'z');  // not "a" + ...: a false -Wrestrict at -O3
    name += std::to_string(i);
    messenger->SetMessageHandler(name, handler(name, nullptr));
    if (i % 3 == 0) messenger->SetMessageHandler(name, nullptr);
  }
  ASSERT_NE(embedder_.Deliver("v2ray_events", {'a', 'b'}), nullptr);
  EXPECT_THAT(received, ElementsAre("second ab"));

  messenger->SetMessageHandler("v2ray_events", nullptr);
  EXPECT_EQ(second.use_count(), 1) << "the removed handler is still alive";
  EXPECT_EQ(embedder_.Deliver("v2ray_events", {0}), nullptr);

  Token last = std::make_shared<int>(0);
  messenger->SetMessageHandler("openconnect_events", handler("last ", last));
  const size_t calls = embedder_.Calls().size();
  messenger.reset();
  EXPECT_EQ(last.use_count(), 1);
  EXPECT_EQ(embedder_.Calls().size(), calls);
}

// Each incoming message holds one add-ref until the last reply holding it goes (at once for one
// dropped unanswered), answered or not. Answers while the engine is unavailable are dropped
// silently and leave the reply pending; of the answers after that only the first is sent, each
// later one writes a line. A null lock value is not unlocked.
TEST_F(BinaryMessenger, RepliesAnswerOnceWhileAvailableAndHoldAReferenceUntilDestroyed) {
  std::vector<flutter::ChannelReply> kept;
  messenger_.SetMessageHandler(channel_,
                               [&kept](const uint8_t*, size_t, flutter::ChannelReply reply) {
                                 kept.push_back(std::move(reply));
                               });
  const auto* first = embedder_.Deliver(channel_, {1});
  const auto* second = embedder_.Deliver(channel_, {2});
  auto answer = [&kept](const Bytes& bytes) { kept[0](bytes.data(), bytes.size()); };
  embedder_.SetAvailable(false);
  answer({0, 1});
  answer({0, 1});
  EXPECT_EQ(embedder_.ResponseTo(first), std::nullopt);
  EXPECT_THAT(log_.Err(), IsEmpty()) << "an unavailable engine is not a duplicate response";

  embedder_.SetAvailable(true);
  answer({0, 7, 1, '1'});
  answer({0, 0});
  EXPECT_EQ(embedder_.ResponseTo(first).value_or(Response()).bytes, (Bytes{0, 7, 1, '1'}));
  EXPECT_EQ(log_.Err(), "Error: Response can be set only once. Ignoring duplicate response.\n");
  EXPECT_EQ(embedder_.OutstandingReferences(), 2) << "answering does not drop the reference";
  kept.erase(kept.begin());
  EXPECT_EQ(embedder_.OutstandingReferences(), 1);

  embedder_.SetLockReturnsNull(true);
  answer({0, 0});
  EXPECT_NE(embedder_.ResponseTo(second), std::nullopt);
  messenger_.SetMessageHandler(channel_, [](const uint8_t*, size_t, flutter::ChannelReply) {});
  EXPECT_EQ(Call("dropped"), std::nullopt);
  EXPECT_EQ(embedder_.OutstandingReferences(), 1);
}

// A worker answers a kept method result after the platform thread destroyed the messenger with
// its handlers and shut the engine down: nothing is sent or written, nothing freed is touched
// (which the sanitizers would see), and every reference is returned.
TEST(LateAnswer, AWorkerAnswerAfterTheShutdownSendsNothing) {
  testing_support::LogCapture log;
  testing_fakes::RecordingMessenger embedder;
  auto messenger = std::make_unique<flutter::BinaryMessengerImpl>(embedder.handle());
  Result kept;
  flutter::MethodChannel<>(messenger.get(), "quorvanta/channeling", Codec())
      .SetMethodCallHandler(
          [&kept](const flutter::MethodCall<>&, Result result) { kept = std::move(result); });
  const auto* handle = embedder.Deliver("quorvanta/channeling", EncodedCall("vpnConnected"));
  ASSERT_NE(kept, nullptr);
  messenger.reset();
  embedder.ShutDownEngine();
  std::future<void> worker = std::async(std::launch::async, [&kept] {
    const EncodableValue value("1");
    kept->Success(&value);
    kept.reset();
  });
  ASSERT_TRUE(FinishesInTime(worker));

  EXPECT_EQ(embedder.ResponseTo(handle), std::nullopt);
  EXPECT_EQ(embedder.OutstandingReferences(), 0);
  EXPECT_THAT(embedder.Violations(), IsEmpty());
  EXPECT_THAT(log.Err(), IsEmpty());
}

// How the handler answers; then, when it kept its result, how that is answered after the handler
// returned; then the one response that came (none: no response; "": no data) and the pieces of
// text written.
struct AnswerCase {
  const char* name;
  std::function<void(Result&)> in_handler;
  std::function<void(Result&)> afterwards;
  std::optional<const char*> response;
  std::vector<std::string> log;
};

TEST_F(MessengerTest, EveryWayOfAnsweringAMethodCallSendsItsResponseOnce) {
  const std::string duplicate[] = {
      "Error: Only one of Success, Error, or NotImplemented can be called,",
      " and it can be called exactly once. Ignoring duplicate result.\n"};
  const std::string unanswered =
      "Warning: Failed to respond to a message. This is a memory leak.\n";
  const EncodableValue one("1");
  const EncodableValue zero(int32_t{0});
  const auto none = [](Result&) {};
  const AnswerCase cases[] = {
      {"success", [&](Result& r) { r->Success(&one); }, {}, "00 07 01 31", {}},
      {"error", [](Result& r) { r->Error("E", "", nullptr); }, {}, "01 070145 00 00", {}},
      {"not implemented", [](Result& r) { r->NotImplemented(); }, {}, "", {}},
      {"further answers",
       [&](Result& r) {
         r->Success(&zero);
         r->Error("E", "m", nullptr);
         r->NotImplemented();
       },
       {},
       "00 03 00000000",
       {duplicate[0], duplicate[1], duplicate[0], duplicate[1]}},
      {"no answer", none, {}, std::nullopt, {unanswered}},
      {"kept, answered later", {}, [&](Result& r) { r->Success(&zero); }, "00 03 00000000", {}},
      {"kept, never answered", {}, none, std::nullopt, {unanswered}}};
  const EncodableValue arguments(EncodableList{"vpn.example", "user"});
  for (const AnswerCase& test : cases) {
    SCOPED_TRACE(test.name);
    PieceLog log;
    Result kept;
    flutter::MethodChannel<>(&messenger_, channel_, Codec())
        .SetMethodCallHandler([&](const flutter::MethodCall<>& call, Result result) {
          EXPECT_EQ(call.MethodName(), "toggleOpenConnect");
          EXPECT_EQ(*call.Arguments(), arguments);
          if (test.in_handler) {
            test.in_handler(result);
          } else {
            kept = std::move(result);
          }
        });
    const auto* handle = embedder_.Deliver(channel_, EncodedCall("toggleOpenConnect", arguments));
    if (kept) test.afterwards(kept);
    kept.reset();

    const auto response = embedder_.ResponseTo(handle);
    ASSERT_EQ(response.has_value(), test.response.has_value());
    if (response) {
      EXPECT_EQ(response->bytes, Hex(*test.response));
      EXPECT_EQ(response->null_data, response->bytes.empty()) << "no data is a null pointer";
    }
    EXPECT_EQ(log.pieces, test.log);
  }
}

Bytes ErrorEnvelope(const std::string& code, const std::string& message) {
  return *Codec()->EncodeErrorEnvelope(code, message);
}

// A stream handler that records what the channel asks of it and answers as told: a failure is
// "E", "m" with details int32 7, whose address is kept.
class EventChannelTest : public MessengerTest {
 protected:
  void SetUp() override {
    channel_ = "openconnect_events";
    Install(RecordingHandler());
  }

  // Installs through a channel object that is gone right after.
  void Install(std::unique_ptr<flutter::StreamHandler<>> handler) {
    flutter::EventChannel<>(&messenger_, channel_, Codec()).SetStreamHandler(std::move(handler));
  }

  std::unique_ptr<flutter::StreamHandler<>> RecordingHandler() {
    // Records "listen(<arguments>)", with nothing in the brackets for an empty pointer.
    auto respond = [this](std::string call, const EncodableValue* arguments, bool fails) {
      calls_.push_back(call + "(" + (arguments ? testing::PrintToString(*arguments) : "") + ")");
      if (!fails) return std::unique_ptr<flutter::StreamHandlerError<>>();
      auto error = std::make_unique<flutter::StreamHandlerError<>>(
          flutter::StreamHandlerError<>{"E", "m", std::make_unique<EncodableValue>(int32_t{7})});
      std::ostringstream address;
      address << error->details.get();
      details_address_ = address.str();
      return error;
    };
    return std::make_unique<flutter::StreamHandlerFunctions<>>(
        [this, respond](const EncodableValue* arguments, auto&& sink) {
          sinks_.push_back(std::move(sink));
          return respond("listen", arguments, listen_fails_);
        },
        [this, respond](const EncodableValue* arguments) {
          return respond("cancel", arguments, cancel_fails_);
        });
  }

  std::vector<std::string> calls_;
  std::vector<std::unique_ptr<flutter::EventSink<>>> sinks_;
  bool listen_fails_ = false;
  bool cancel_fails_ = false;
  std::string details_address_;
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
  bool listen_fails;
  bool cancel_fails;
  Steps steps;
  Calls handler_calls;
  std::string log;  // "@" stands for the address of the error's details
};

TEST_F(EventChannelTest, EachMessageInEachStateCallsTheHandlerAndAnswersAsTheTableSays) {
  const EncodableValue null;
  const Bytes ok = {0x00, 0x00};  // success with a null result
  const Bytes none = {};          // no data
  const Bytes idle = ErrorEnvelope("error", "No active stream to cancel");
  const Bytes error = Hex("01 070145 07016D 0307000000");  // "E", "m", int32 7
  const ProtocolCase cases[] = {
      {"listen when idle", false, false, Steps{{"listen", int32_t{5}, ok}}, Calls{"listen(<2>5)"},
       ""},
      {"re-listen cancels first with empty arguments, and stays listening", false, false,
       Steps{{"listen", null, ok}, {"listen", "again", ok}, {"cancel", null, ok}},
       Calls{"listen(<0>null)", "cancel()", "listen(<5>\"again\")", "cancel(<0>null)"}, ""},
      {"a failed cancel before a re-listen is only written, unterminated", false, true,
       Steps{{"listen", null, ok}, {"listen", null, ok}},
       Calls{"listen(<0>null)", "cancel()", "listen(<0>null)"},
       "Failed to cancel existing stream: E, m, @"},
      {"a failed listen answers its error and stays listening", true, false,
       Steps{{"listen", null, error}, {"cancel", null, ok}},
       Calls{"listen(<0>null)", "cancel(<0>null)"}, ""},
      {"cancel passes its arguments and goes idle", false, false,
       Steps{{"listen", null, ok}, {"cancel", "bye", ok}, {"cancel", null, idle}},
       Calls{"listen(<0>null)", "cancel(<5>\"bye\")"}, ""},
      {"a failed cancel answers its error and still goes idle", false, true,
       Steps{{"listen", null, ok}, {"cancel", null, error}, {"cancel", null, idle}},
       Calls{"listen(<0>null)", "cancel(<0>null)"}, ""},
      {"cancel when idle calls nothing", false, false, Steps{{"cancel", null, idle}}, Calls{}, ""},
      {"other names change nothing when idle", false, false,
       Steps{Step{"Listen", null, none}, Step{"listenx", null, none},
             Step{std::string("listen\0", 7), null, none}, Step{"CANCEL", null, none},
             Step{"", null, none}, Step{"cancel", null, idle}},
       Calls{}, ""},
      {"other names change nothing while listening", false, false,
       Steps{{"listen", null, ok}, {"Cancel", null, none}, {"cancel", null, ok}},
       Calls{"listen(<0>null)", "cancel(<0>null)"}, ""}};
  for (const ProtocolCase& test : cases) {
    SCOPED_TRACE(test.name);
    listen_fails_ = test.listen_fails;
    cancel_fails_ = test.cancel_fails;
    Install(RecordingHandler());  // starts idle, even where the row before ended listening
    calls_.clear();
    log_.Clear();
    for (const Step& step : test.steps) {
      EXPECT_EQ(Answer(step.method, step.arguments), step.answer) << '"' << step.method << '"';
    }
    EXPECT_EQ(calls_, test.handler_calls);
    std::string log = test.log;
    if (const size_t at = log.find('@'); at != std::string::npos) {
      log.replace(at, 1, details_address_);
    }
    EXPECT_EQ(log_.Err(), log);
  }
}

TEST_F(EventChannelTest, MissingFunctionsAnswerTheirErrorsAndTheFreshSinkSendsNothing) {
  Install(std::make_unique<flutter::StreamHandlerFunctions<>>(nullptr, nullptr));
  EXPECT_EQ(Answer("listen"), ErrorEnvelope("error", "No OnListen handler set"));
  EXPECT_EQ(Answer("cancel"), ErrorEnvelope("error", "No OnCancel handler set"));
  EXPECT_THAT(embedder_.CallsTo(MessengerFunction::kSend), IsEmpty());
}

// A sink from a listen that was since cancelled still sends whatever it is given, from any thread,
// on the channel's name, and destroying it sends nothing.
TEST_F(EventChannelTest, SinksSendEnvelopesAndAnEmptyEndOfStreamFromAnyThread) {
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
  EXPECT_EQ(sent[0].bytes, Hex("00 07 02 6F6E"));
  EXPECT_EQ(sent[1].bytes, Hex("00 00"));
  EXPECT_EQ(sent[2].bytes, Hex("01 070145 07016D 00"));
  EXPECT_TRUE(sent[3].null_data && sent[3].bytes.empty());
  for (const auto& call : sent) EXPECT_EQ(call.channel, "openconnect_events");
}

// Both kinds of channel answer a message that is no method call with no data, after a line that
// names the channel (the event channel's with a colon), and never call their handler; an empty
// handler removes either registration.
TEST_F(EventChannelTest, UndecodableMessagesAndEmptyHandlersOnBothKindsOfChannel) {
  flutter::MethodChannel<> method_channel(&messenger_, "quorvanta/channeling", Codec());
  method_channel.SetMethodCallHandler(
      [this](const flutter::MethodCall<>&, Result) { calls_.push_back("method handler"); });
  for (const char* channel : {"openconnect_events", "quorvanta/channeling"}) {
    const auto response = embedder_.ResponseTo(embedder_.Deliver(channel, Hex("03 01000000")));
    ASSERT_TRUE(response.has_value()) << channel;
    EXPECT_TRUE(response->null_data) << channel;
  }
  EXPECT_THAT(calls_, IsEmpty());
  EXPECT_EQ(log_.Err(),
            "Invalid method call; method name is not a string.\n"
            "Unable to construct method call from message on channel: openconnect_events\n"
            "Invalid method call; method name is not a string.\n"
            "Unable to construct method call from message on channel quorvanta/channeling\n");

  Install(nullptr);
  method_channel.SetMethodCallHandler(nullptr);
  EXPECT_EQ(embedder_.Deliver("openconnect_events", EncodedCall("listen")), nullptr);
  EXPECT_EQ(embedder_.Deliver("quorvanta/channeling", EncodedCall("vpnConnected")), nullptr);
}

}  // namespace
}  // namespace channels_test
