#include "tests/fakes/recording_messenger.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

// The tests built on the messenger fake check that it saw no breach of the protocol; that check
// must be able to fail.
namespace testing_fakes {
namespace {

void KeepHandle(FlutterDesktopMessengerRef, const FlutterDesktopMessage* message, void* kept) {
  *static_cast<const FlutterDesktopMessageResponseHandle**>(kept) = message->response_handle;
}

TEST(RecordingMessengerTest, ListsEachBreachOfTheProtocolInsteadOfCrashing) {
  RecordingMessenger fake;
  FlutterDesktopMessengerRef messenger = fake.handle();
  const FlutterDesktopMessageResponseHandle* handle = nullptr;
  FlutterDesktopMessengerSetCallback(messenger, "c", &KeepHandle, &handle);
  ASSERT_EQ(fake.Deliver("c", {1}), handle);
  const uint8_t answer[] = {7};

  FlutterDesktopMessengerIsAvailable(messenger);
  FlutterDesktopMessengerSendResponse(messenger, handle, answer, 1);
  FlutterDesktopMessengerRef lock = FlutterDesktopMessengerLock(messenger);
  EXPECT_EQ(FlutterDesktopMessengerLock(messenger), lock);
  FlutterDesktopMessengerSendResponse(messenger, handle, nullptr, 0);
  FlutterDesktopMessengerUnlock(lock);
  FlutterDesktopMessengerUnlock(lock);
  FlutterDesktopMessengerUnlock(nullptr);
  FlutterDesktopMessengerRelease(messenger);
  fake.SetAvailable(false);
  lock = FlutterDesktopMessengerLock(messenger);
  FlutterDesktopMessengerSendResponse(messenger, nullptr, answer, 1);

  EXPECT_THAT(
      fake.Violations(),
      testing::ElementsAre(
          "availability asked without holding the messenger lock",
          "response sent without holding the messenger lock",
          "lock taken again by the thread that holds it", "second response to one message",
          "unlock by a thread that does not hold the lock", "unlock with a null lock value",
          "release without a matching add-ref", "response sent while the engine is unavailable",
          "response to an unknown message", "messenger lock still held"));
  FlutterDesktopMessengerUnlock(lock);
  EXPECT_EQ(fake.ResponseTo(handle)->bytes, std::vector<uint8_t>{7}) << "the first one counts";
}

}  // namespace
}  // namespace testing_fakes
