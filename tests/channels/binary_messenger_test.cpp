#include <memory>
#include <optional>
#include <string>

#include "tests/channels/messenger_fixture.h"

namespace channels_test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// An object whose lifetime shows whether a callable that captured it is still alive.
using Token = std::shared_ptr<int>;

class MessengerSend : public MessengerTest {};

TEST_F(MessengerSend, WithoutReplyUsesThePlainSend) {
  const Bytes message = {0, 3, 4, 0, 0, 0};
  messenger_.Send("openconnect_events", message.data(), message.size());

  ASSERT_EQ(FunctionsCalled(), std::vector<MessengerFunction>{MessengerFunction::kSend});
  const testing_fakes::MessengerCall call = embedder_.Calls()[0];
  EXPECT_EQ(call.messenger, embedder_.handle());
  EXPECT_EQ(call.channel, "openconnect_events");
  EXPECT_EQ(call.bytes, message);
  EXPECT_EQ(call.size, message.size());
}

TEST_F(MessengerSend, AcceptedReplyIsCalledOnceWithTheAnswerThenFreed) {
  Token token = std::make_shared<int>(0);
  std::vector<Bytes> answers;
  const Bytes message = {7, 1, 'x', 0};
  messenger_.Send("quorvanta/channeling", message.data(), message.size(),
                  [token, &answers](const uint8_t* reply, size_t reply_size) {
                    answers.emplace_back(reply, reply + reply_size);
                  });

  ASSERT_EQ(FunctionsCalled(), std::vector<MessengerFunction>{MessengerFunction::kSendWithReply});
  const testing_fakes::MessengerCall call = embedder_.Calls()[0];
  EXPECT_EQ(call.channel, "quorvanta/channeling");
  EXPECT_EQ(call.bytes, message);
  EXPECT_NE(call.reply, nullptr);
  EXPECT_NE(call.user_data, nullptr);
  EXPECT_EQ(token.use_count(), 2) << "the pending record holds the reply until the answer";

  ASSERT_TRUE(embedder_.AnswerPendingSend({0, 7, 1, '1'}));

  EXPECT_THAT(answers, ElementsAre(Bytes{0, 7, 1, '1'}));
  EXPECT_EQ(token.use_count(), 1) << "the pending record was not freed after the answer";
}

TEST_F(MessengerSend, RefusedSendFreesTheRecordAndNeverCallsTheReply) {
  embedder_.SetAcceptSendsWithReply(false);
  Token token = std::make_shared<int>(0);
  int replies = 0;
  const Bytes message = {1, 2, 3};
  messenger_.Send("quorvanta/channeling", message.data(), message.size(),
                  [token, &replies](const uint8_t*, size_t) { ++replies; });

  EXPECT_EQ(embedder_.CountOf(MessengerFunction::kSendWithReply), 1u);
  EXPECT_EQ(token.use_count(), 1) << "the refused record was not freed";
  EXPECT_FALSE(embedder_.AnswerPendingSend({0, 0}));
  EXPECT_EQ(replies, 0);
  EXPECT_THAT(log_.Err(), IsEmpty());
}

class MessengerRegistration : public MessengerTest {};

TEST_F(MessengerRegistration, RegisteredHandlerReceivesTheMessageBytes) {
  std::vector<Bytes> received;
  messenger_.SetMessageHandler(
      "quorvanta/channeling",
      [&received](const uint8_t* message, size_t size, flutter::ChannelReply) {
        received.emplace_back(message, message + size);
      });

  const auto calls = embedder_.CallsTo(MessengerFunction::kSetCallback);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].channel, "quorvanta/channeling");
  EXPECT_NE(calls[0].callback, nullptr);
  EXPECT_NE(calls[0].user_data, nullptr);

  EXPECT_NE(embedder_.Deliver("quorvanta/channeling", {7, 1, 'a', 0}), nullptr);
  EXPECT_THAT(received, ElementsAre(Bytes{7, 1, 'a', 0}));
}

TEST_F(MessengerRegistration, SecondHandlerReplacesAndDestroysTheFirst) {
  Token first_token = std::make_shared<int>(0);
  int first_calls = 0;
  int second_calls = 0;
  messenger_.SetMessageHandler(
      "v2ray_events", [first_token, &first_calls](const uint8_t*, size_t, flutter::ChannelReply) {
        ++first_calls;
      });
  messenger_.SetMessageHandler(
      "v2ray_events",
      [&second_calls](const uint8_t*, size_t, flutter::ChannelReply) { ++second_calls; });

  EXPECT_EQ(first_token.use_count(), 1) << "the replaced handler is still alive";
  const auto calls = embedder_.CallsTo(MessengerFunction::kSetCallback);
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_NE(calls[1].callback, nullptr);
  EXPECT_EQ(embedder_.Registration("v2ray_events")->second, calls[1].user_data);

  ASSERT_NE(embedder_.Deliver("v2ray_events", {0}), nullptr);
  EXPECT_EQ(first_calls, 0);
  EXPECT_EQ(second_calls, 1);
}

TEST_F(MessengerRegistration, RemovingANameNeverRegisteredStillTellsTheEmbedder) {
  messenger_.SetMessageHandler("never_registered", nullptr);

  const auto calls = embedder_.CallsTo(MessengerFunction::kSetCallback);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].channel, "never_registered");
  EXPECT_EQ(calls[0].callback, nullptr);
  EXPECT_EQ(calls[0].user_data, nullptr);
}

TEST_F(MessengerRegistration, RemovingDestroysTheHandlerAndStopsDelivery) {
  Token token = std::make_shared<int>(0);
  messenger_.SetMessageHandler("openconnect_events",
                               [token](const uint8_t*, size_t, flutter::ChannelReply) {});
  messenger_.SetMessageHandler("openconnect_events", nullptr);

  EXPECT_EQ(token.use_count(), 1);
  EXPECT_EQ(embedder_.Registration("openconnect_events"), std::nullopt);
  EXPECT_EQ(embedder_.Deliver("openconnect_events", {0}), nullptr);
}

TEST_F(MessengerRegistration, HandlersStayInPlaceWhileOtherChannelsComeAndGo) {
  int calls = 0;
  messenger_.SetMessageHandler(
      "m", [&calls](const uint8_t*, size_t, flutter::ChannelReply) { ++calls; });
  // Names sorting before and after "m", so that the map rebalances around its node.
  for (int i = 0; i < 64; ++i) {
    std::string name(1, i % 2 == 0 ? 'a' : 'z');
    name += std::to_string(i);
    messenger_.SetMessageHandler(name, [](const uint8_t*, size_t, flutter::ChannelReply) {});
    if (i % 3 == 0) {
      messenger_.SetMessageHandler(name, nullptr);
    }
  }

  // Delivered through the address the embedder was given at the first registration.
  ASSERT_NE(embedder_.Deliver("m", {0}), nullptr);
  EXPECT_EQ(calls, 1);
}

TEST(MessengerLifetime, DestroyingTheMessengerDestroysHandlersAndUnregistersNothing) {
  testing_fakes::RecordingMessenger embedder;
  auto messenger = std::make_unique<flutter::BinaryMessengerImpl>(embedder.handle());
  Token token = std::make_shared<int>(0);
  messenger->SetMessageHandler("quorvanta/channeling",
                               [token](const uint8_t*, size_t, flutter::ChannelReply) {});

  messenger.reset();

  EXPECT_EQ(token.use_count(), 1);
  EXPECT_EQ(embedder.CountOf(MessengerFunction::kSetCallback), 1u);
}

}  // namespace
}  // namespace channels_test
