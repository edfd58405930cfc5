#include <memory>
#include <optional>
#include <string>

#include "tests/channels/messenger_fixture.h"

namespace channels_test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// An object whose use count shows whether a callable that captured it is still alive.
using Token = std::shared_ptr<int>;

using BinaryMessenger = MessengerTest;

TEST_F(BinaryMessenger, PlainWithoutReplyElseTheReplyIsCalledOnceOrNeverWhenRefused) {
  const Bytes message = {7, 1, 'x', 0};
  messenger_.Send("openconnect_events", message.data(), message.size());
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
  }
  EXPECT_EQ(FunctionsCalled(), (std::vector<MessengerFunction>{MessengerFunction::kSend,
                                                               MessengerFunction::kSendWithReply,
                                                               MessengerFunction::kSendWithReply}));
  for (const testing_fakes::MessengerCall& call : embedder_.Calls()) {
    EXPECT_EQ(call.messenger, embedder_.handle());
    EXPECT_EQ(call.channel,
              call.function == MessengerFunction::kSend ? "openconnect_events" : channel_);
    EXPECT_EQ(call.bytes, message);
  }
  EXPECT_THAT(log_.Err(), IsEmpty());
}

// One handler per name: a second replaces (and destroys) the first and is registered with its own
// address, which stays valid while other names come and go; removing destroys it and tells the
// embedder, even for a name never registered; the messenger's end destroys the handlers and
// unregisters nothing.
TEST_F(BinaryMessenger, OneHandlerPerNameAtAStableAddressUntilRemovedOrTheMessengerEnds) {
  auto messenger = std::make_unique<flutter::BinaryMessengerImpl>(embedder_.handle());
  std::vector<std::string> received;
  auto handler = [&received](std::string name, Token token) {
    return [&received, name, token](const uint8_t* message, size_t size, flutter::ChannelReply) {
      received.push_back(name + std::string(message, message + size));
    };
  };
  Token first = std::make_shared<int>(0);
  messenger->SetMessageHandler("v2ray_events", handler("first ", first));
  messenger->SetMessageHandler("v2ray_events", handler("second ", nullptr));
  EXPECT_EQ(first.use_count(), 1) << "the replaced handler is still alive";
  // Names sorting before and after, so that the map rebalances around the stored handler.
  for (int i = 0; i < 64; ++i) {
    std::string name(1, i % 2 == 0 ? 'a' : 'z');  // not "a" + ...: a false -Wrestrict at -O3
    name += std::to_string(i);
    messenger->SetMessageHandler(name, handler(name, nullptr));
    if (i % 3 == 0) messenger->SetMessageHandler(name, nullptr);
  }
  const auto registered = embedder_.CallsTo(MessengerFunction::kSetCallback)[1];
  EXPECT_NE(registered.callback, nullptr);
  EXPECT_EQ(embedder_.Registration("v2ray_events")->second, registered.user_data);
  ASSERT_NE(embedder_.Deliver("v2ray_events", {'a', 'b'}), nullptr);
  EXPECT_THAT(received, ElementsAre("second ab"));

  messenger->SetMessageHandler("v2ray_events", nullptr);
  messenger->SetMessageHandler("never_registered", nullptr);
  EXPECT_EQ(embedder_.Deliver("v2ray_events", {0}), nullptr);
  const auto calls = embedder_.CallsTo(MessengerFunction::kSetCallback);
  const char* removed[] = {"v2ray_events", "never_registered"};
  for (size_t i = 0; i < 2; ++i) {
    const testing_fakes::MessengerCall& removal = calls[calls.size() - 2 + i];
    EXPECT_EQ(removal.channel, removed[i]);
    EXPECT_EQ(removal.callback, nullptr);
    EXPECT_EQ(removal.user_data, nullptr);
  }

  Token last = std::make_shared<int>(0);
  messenger->SetMessageHandler("openconnect_events", handler("last ", last));
  const size_t registrations = embedder_.CallsTo(MessengerFunction::kSetCallback).size();
  messenger.reset();
  EXPECT_EQ(last.use_count(), 1);
  EXPECT_EQ(embedder_.CallsTo(MessengerFunction::kSetCallback).size(), registrations);
}

}  // namespace
}  // namespace channels_test
