#include <atomic>
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

constexpr char kDuplicateResponse[] =
    "Error: Response can be set only once. Ignoring duplicate response.\n";

// Registers a handler on "quorvanta/channeling" that keeps each message's reply in `kept`.
class ResponseReply : public MessengerTest {
 protected:
  void TearDown() override {
    kept_.clear();
    MessengerTest::TearDown();
  }

  void KeepReplies() {
    messenger_.SetMessageHandler("quorvanta/channeling",
                                 [this](const uint8_t*, size_t, flutter::ChannelReply reply) {
                                   kept_.push_back(std::move(reply));
                                 });
  }

  const FlutterDesktopMessageResponseHandle* DeliverOne() {
    return embedder_.Deliver("quorvanta/channeling", {7, 1, 'x', 0});
  }

  std::vector<flutter::ChannelReply> kept_;
};

TEST_F(ResponseReply, AnswerTakesTheLockChecksAvailabilityRespondsAndUnlocks) {
  KeepReplies();
  const auto* handle = DeliverOne();
  ASSERT_EQ(kept_.size(), 1u);
  const Bytes answer = {0, 7, 1, '1'};

  kept_[0](answer.data(), answer.size());
  kept_.clear();

  EXPECT_EQ(FunctionsCalled(), (std::vector<MessengerFunction>{
                                   MessengerFunction::kSetCallback, MessengerFunction::kAddRef,
                                   MessengerFunction::kLock, MessengerFunction::kIsAvailable,
                                   MessengerFunction::kSendResponse, MessengerFunction::kUnlock,
                                   MessengerFunction::kRelease}));
  const auto responses = embedder_.CallsTo(MessengerFunction::kSendResponse);
  EXPECT_EQ(responses[0].response_handle, handle);
  EXPECT_EQ(responses[0].messenger, embedder_.handle());
  EXPECT_EQ(embedder_.CallsTo(MessengerFunction::kUnlock)[0].messenger, embedder_.handle());
  ASSERT_TRUE(embedder_.ResponseTo(handle).has_value());
  EXPECT_EQ(embedder_.ResponseTo(handle)->bytes, answer);
  EXPECT_THAT(log_.Err(), IsEmpty());
}

TEST_F(ResponseReply, SecondAnswerSendsNothingAndWritesOneLine) {
  KeepReplies();
  const auto* handle = DeliverOne();
  const Bytes first = {0, 0};
  const Bytes second = {0, 3, 1, 0, 0, 0};

  kept_[0](first.data(), first.size());
  kept_[0](second.data(), second.size());

  EXPECT_EQ(embedder_.CountOf(MessengerFunction::kSendResponse), 1u);
  EXPECT_EQ(embedder_.ResponseTo(handle)->bytes, first);
  EXPECT_EQ(log_.Err(), kDuplicateResponse);
  EXPECT_EQ(embedder_.CountOf(MessengerFunction::kLock), 2u);
  EXPECT_EQ(embedder_.CountOf(MessengerFunction::kUnlock), 2u);
}

TEST_F(ResponseReply, AnswerWhileUnavailableIsDroppedSilentlyAndStillUnlocks) {
  KeepReplies();
  const auto* handle = DeliverOne();
  embedder_.SetAvailable(false);
  const Bytes answer = {0, 0};

  kept_[0](answer.data(), answer.size());
  kept_[0](answer.data(), answer.size());

  EXPECT_EQ(embedder_.CountOf(MessengerFunction::kSendResponse), 0u);
  EXPECT_EQ(embedder_.ResponseTo(handle), std::nullopt);
  EXPECT_THAT(log_.Err(), IsEmpty()) << "an unavailable engine is not a duplicate response";
  EXPECT_EQ(embedder_.CountOf(MessengerFunction::kUnlock), 2u);

  // Still pending: once the engine takes responses again, the first answer goes out.
  embedder_.SetAvailable(true);
  kept_[0](answer.data(), answer.size());
  EXPECT_EQ(embedder_.CountOf(MessengerFunction::kSendResponse), 1u);
}

TEST_F(ResponseReply, NullLockValueIsNotUnlocked) {
  embedder_.SetLockReturnsNull(true);
  KeepReplies();
  const auto* handle = DeliverOne();
  const Bytes answer = {0, 0};

  kept_[0](answer.data(), answer.size());

  EXPECT_TRUE(embedder_.ResponseTo(handle).has_value());
  EXPECT_EQ(embedder_.CountOf(MessengerFunction::kLock), 1u);
  EXPECT_EQ(embedder_.CountOf(MessengerFunction::kUnlock), 0u);
}

TEST_F(ResponseReply, KeptReplyHoldsOneReferenceUntilItIsDestroyed) {
  KeepReplies();
  DeliverOne();

  EXPECT_EQ(embedder_.OutstandingReferences(), 1);
  const Bytes answer = {0, 0};
  kept_[0](answer.data(), answer.size());
  EXPECT_EQ(embedder_.OutstandingReferences(), 1) << "answering does not drop the reference";

  kept_.clear();

  const auto add_refs = embedder_.CallsTo(MessengerFunction::kAddRef);
  const auto releases = embedder_.CallsTo(MessengerFunction::kRelease);
  ASSERT_EQ(add_refs.size(), 1u);
  ASSERT_EQ(releases.size(), 1u);
  EXPECT_EQ(releases[0].messenger, embedder_.handle());
}

TEST_F(ResponseReply, EachIncomingMessageTakesItsOwnReference) {
  KeepReplies();
  DeliverOne();
  DeliverOne();
  DeliverOne();
  EXPECT_EQ(embedder_.OutstandingReferences(), 3);

  kept_.erase(kept_.begin());
  EXPECT_EQ(embedder_.OutstandingReferences(), 2);
  kept_.clear();
  EXPECT_EQ(embedder_.CountOf(MessengerFunction::kAddRef), 3u);
  EXPECT_EQ(embedder_.CountOf(MessengerFunction::kRelease), 3u);
}

TEST_F(ResponseReply, ReplyDroppedUnansweredReleasesAtOnceAndReportsNothing) {
  messenger_.SetMessageHandler("quorvanta/channeling",
                               [](const uint8_t*, size_t, flutter::ChannelReply) {});
  const auto* handle = DeliverOne();

  EXPECT_EQ(embedder_.CountOf(MessengerFunction::kRelease), 1u);
  EXPECT_EQ(embedder_.ResponseTo(handle), std::nullopt);
  EXPECT_THAT(log_.Err(), IsEmpty());
}

// A reply kept past the messenger and the engine, then answered and dropped on a worker thread:
// it must touch nothing but the embedder messenger it still holds a reference to.
TEST(LateAnswer, AfterShutdownIsDroppedAndFreesTheEmbedderMessengerLast) {
  testing_support::LogCapture log;
  testing_fakes::RecordingMessenger embedder;
  auto messenger = std::make_unique<flutter::BinaryMessengerImpl>(embedder.handle());
  std::optional<flutter::ChannelReply> kept;
  messenger->SetMessageHandler(
      "quorvanta/channeling",
      [&kept](const uint8_t*, size_t, flutter::ChannelReply reply) { kept = std::move(reply); });
  const auto* handle = embedder.Deliver("quorvanta/channeling", {7, 1, 'x', 0});
  const int live_before = testing_fakes::RecordingMessenger::LiveMessengers();

  messenger.reset();
  embedder.ShutDownEngine();
  EXPECT_EQ(testing_fakes::RecordingMessenger::LiveMessengers(), live_before)
      << "the kept reply no longer holds the embedder messenger";

  std::future<void> worker = std::async(std::launch::async, [&kept] {
    const Bytes answer = {0, 0};
    (*kept)(answer.data(), answer.size());
    kept.reset();
  });
  ASSERT_TRUE(FinishesInTime(worker));

  EXPECT_EQ(testing_fakes::RecordingMessenger::LiveMessengers(), live_before - 1);
  EXPECT_EQ(embedder.ResponseTo(handle), std::nullopt);
  EXPECT_EQ(embedder.OutstandingReferences(), 0);
  EXPECT_THAT(embedder.Violations(), IsEmpty());
  EXPECT_THAT(log.Err(), IsEmpty());
}

// The race itself: a worker answers a kept method result while the platform thread destroys the
// messenger with its handlers and shuts the engine down. Whichever side wins, the answer is sent
// at most once, nothing freed is touched, and every reference is returned.
TEST(LateAnswer, WorkerAnswerRacingTheShutdownIsSafe) {
  constexpr int kRounds = 200;
  int answered = 0;
  for (int round = 0; round < kRounds; ++round) {
    const int live_at_start = testing_fakes::RecordingMessenger::LiveMessengers();
    testing_support::LogCapture log;
    testing_fakes::RecordingMessenger embedder;
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

    std::atomic<bool> go{false};
    std::future<void> worker = std::async(std::launch::async, [&] {
      while (!go.load()) {
        std::this_thread::yield();
      }
      const flutter::EncodableValue value("1");
      kept->Success(&value);
      kept.reset();
    });
    go.store(true);
    messenger.reset();
    embedder.ShutDownEngine();
    ASSERT_TRUE(FinishesInTime(worker));

    const std::optional<testing_fakes::Response> response = embedder.ResponseTo(handle);
    if (response.has_value()) {
      EXPECT_EQ(response->bytes, (Bytes{0, 7, 1, '1'}));
      ++answered;
    }
    EXPECT_LE(embedder.CountOf(MessengerFunction::kSendResponse), 1u);
    EXPECT_EQ(embedder.OutstandingReferences(), 0);
    EXPECT_EQ(testing_fakes::RecordingMessenger::LiveMessengers(), live_at_start);
    EXPECT_THAT(embedder.Violations(), IsEmpty());
    EXPECT_THAT(log.Err(), IsEmpty());
  }
  // Not asserted either way: which side wins is up to the scheduler.
  RecordProperty("answered_before_shutdown", answered);
}

}  // namespace
}  // namespace channels_test
