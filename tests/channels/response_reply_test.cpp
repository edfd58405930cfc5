#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <optional>
#include <thread>

#include "channels/method_channel.h"
#include "tests/channels/messenger_fixture.h"

namespace channels_test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// Registers a handler on the channel that keeps each message's reply in `kept_`.
class ResponseReply : public MessengerTest {
 protected:
  void TearDown() override {
    kept_.clear();
    MessengerTest::TearDown();
  }

  void KeepReplies() {
    messenger_.SetMessageHandler(channel_,
                                 [this](const uint8_t*, size_t, flutter::ChannelReply reply) {
                                   kept_.push_back(std::move(reply));
                                 });
  }

  const FlutterDesktopMessageResponseHandle* DeliverOne() {
    return embedder_.Deliver(channel_, {7, 1, 'x', 0});
  }

  void Answer(size_t reply, const Bytes& answer) { kept_[reply](answer.data(), answer.size()); }

  std::vector<flutter::ChannelReply> kept_;
};

TEST_F(ResponseReply, AnswerTakesTheLockChecksAvailabilityRespondsAndUnlocks) {
  KeepReplies();
  const auto* handle = DeliverOne();
  ASSERT_EQ(kept_.size(), 1u);

  Answer(0, {0, 7, 1, '1'});
  kept_.clear();

  EXPECT_EQ(FunctionsCalled(), (std::vector<MessengerFunction>{
                                   MessengerFunction::kSetCallback, MessengerFunction::kAddRef,
                                   MessengerFunction::kLock, MessengerFunction::kIsAvailable,
                                   MessengerFunction::kSendResponse, MessengerFunction::kUnlock,
                                   MessengerFunction::kRelease}));
  EXPECT_EQ(embedder_.CallsTo(MessengerFunction::kSendResponse)[0].response_handle, handle);
  EXPECT_EQ(embedder_.CallsTo(MessengerFunction::kUnlock)[0].messenger, embedder_.handle());
  ASSERT_TRUE(embedder_.ResponseTo(handle).has_value());
  EXPECT_EQ(embedder_.ResponseTo(handle)->bytes, (Bytes{0, 7, 1, '1'}));
  EXPECT_THAT(log_.Err(), IsEmpty());
}

// Answers while the engine is unavailable are dropped silently and leave the reply pending; of
// the answers after that only the first is sent, each later one writes a line. All unlock.
TEST_F(ResponseReply, OnlyTheFirstAnswerWhileAvailableIsSent) {
  KeepReplies();
  const auto* handle = DeliverOne();
  embedder_.SetAvailable(false);
  Answer(0, {0, 1});
  Answer(0, {0, 1});
  EXPECT_THAT(log_.Err(), IsEmpty()) << "an unavailable engine is not a duplicate response";

  embedder_.SetAvailable(true);
  Answer(0, {0, 0});
  Answer(0, {0, 3, 1, 0, 0, 0});

  EXPECT_EQ(embedder_.CallsTo(MessengerFunction::kSendResponse).size(), 1u);
  EXPECT_EQ(embedder_.ResponseTo(handle)->bytes, (Bytes{0, 0}));
  EXPECT_EQ(log_.Err(), "Error: Response can be set only once. Ignoring duplicate response.\n");
  EXPECT_EQ(embedder_.CallsTo(MessengerFunction::kUnlock).size(), 4u);
}

TEST_F(ResponseReply, NullLockValueIsNotUnlocked) {
  embedder_.SetLockReturnsNull(true);
  KeepReplies();
  const auto* handle = DeliverOne();

  Answer(0, {0, 0});

  EXPECT_TRUE(embedder_.ResponseTo(handle).has_value());
  EXPECT_EQ(embedder_.CallsTo(MessengerFunction::kLock).size(), 1u);
  EXPECT_EQ(embedder_.CallsTo(MessengerFunction::kUnlock).size(), 0u);
}

// One add-ref per incoming message, released when the last reply holding it goes: at once for a
// reply dropped unanswered, later for a kept one, whether or not it was answered.
TEST_F(ResponseReply, EachMessageHoldsOneReferenceUntilItsReplyIsDestroyed) {
  KeepReplies();
  DeliverOne();
  DeliverOne();
  EXPECT_EQ(embedder_.OutstandingReferences(), 2);
  Answer(0, {0, 0});
  EXPECT_EQ(embedder_.OutstandingReferences(), 2) << "answering does not drop the reference";
  kept_.erase(kept_.begin());
  EXPECT_EQ(embedder_.OutstandingReferences(), 1);

  messenger_.SetMessageHandler(channel_, [](const uint8_t*, size_t, flutter::ChannelReply) {});
  const auto* unanswered = DeliverOne();
  EXPECT_EQ(embedder_.OutstandingReferences(), 1);
  EXPECT_EQ(embedder_.ResponseTo(unanswered), std::nullopt);

  kept_.clear();
  EXPECT_EQ(embedder_.CallsTo(MessengerFunction::kAddRef).size(), 3u);
  const auto releases = embedder_.CallsTo(MessengerFunction::kRelease);
  ASSERT_EQ(releases.size(), 3u);
  EXPECT_EQ(releases[0].messenger, embedder_.handle());
  EXPECT_THAT(log_.Err(), IsEmpty());
}

// A worker answers a kept method result while the platform thread destroys the messenger with its
// handlers and shuts the engine down. In the first round the worker waits for the shutdown, so the
// late path is always taken; after that either side may win. Whichever does, the answer is sent at
// most once, nothing freed is touched, and every reference is returned, the embedder messenger
// freed last by the reply.
TEST(LateAnswer, WorkerAnswerRacingTheShutdownIsSafe) {
  using testing_fakes::RecordingMessenger;
  constexpr int kRounds = 200;
  int answered = 0;
  for (int round = 0; round < kRounds; ++round) {
    const bool answer_after_shutdown = round == 0;
    const int live_at_start = RecordingMessenger::LiveMessengers();
    testing_support::LogCapture log;
    RecordingMessenger embedder;
    auto messenger = std::make_unique<flutter::BinaryMessengerImpl>(embedder.handle());
    std::unique_ptr<flutter::MethodResult<>> kept;
    flutter::MethodChannel<>(messenger.get(), "quorvanta/channeling",
                             &flutter::StandardMethodCodec::GetInstance())
        .SetMethodCallHandler(
            [&kept](const flutter::MethodCall<>&, std::unique_ptr<flutter::MethodResult<>> result) {
              kept = std::move(result);
            });
    const auto* handle = embedder.Deliver("quorvanta/channeling", EncodedCall("vpnConnected"));
    ASSERT_NE(kept, nullptr);

    std::atomic<bool> ready{false};
    std::atomic<bool> go{false};
    std::future<void> worker = std::async(std::launch::async, [&] {
      ready.store(true);
      while (!go.load()) std::this_thread::yield();
      const flutter::EncodableValue value("1");
      kept->Success(&value);
      kept.reset();
    });
    // Both threads run before the race starts, and the worker's head start varies by round, so
    // that either side can win.
    const auto deadline = std::chrono::steady_clock::now() + kWaitLimit;
    while (!ready.load() && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
    go.store(!answer_after_shutdown);
    for (int i = 0; i < round % 32; ++i) std::this_thread::yield();
    messenger.reset();
    embedder.ShutDownEngine();
    if (answer_after_shutdown) {
      EXPECT_EQ(RecordingMessenger::LiveMessengers(), live_at_start + 1)
          << "the kept reply no longer holds the embedder messenger";
      go.store(true);
    }
    ASSERT_TRUE(FinishesInTime(worker));

    const std::optional<testing_fakes::Response> response = embedder.ResponseTo(handle);
    if (response.has_value()) {
      EXPECT_FALSE(answer_after_shutdown);
      EXPECT_EQ(response->bytes, (Bytes{0, 7, 1, '1'}));
      ++answered;
    }
    EXPECT_LE(embedder.CallsTo(MessengerFunction::kSendResponse).size(), 1u);
    EXPECT_EQ(embedder.OutstandingReferences(), 0);
    EXPECT_EQ(RecordingMessenger::LiveMessengers(), live_at_start);
    EXPECT_THAT(embedder.Violations(), IsEmpty());
    EXPECT_THAT(log.Err(), IsEmpty());
  }
  // Not asserted either way: which side wins is up to the scheduler.
  RecordProperty("answered_before_shutdown", answered);
}

}  // namespace
}  // namespace channels_test
