#include "tests/fakes/recording_messenger.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

// The tests built on the messenger fake check that it saw no breach of the protocol; that check
// must be able to fail. The benchmark relies on taken responses and calls being forgotten.
namespace testing_fakes {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

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

  FlutterDesktopMessengerSendResponse(messenger, handle, answer, 1);
  FlutterDesktopMessengerRef lock = FlutterDesktopMessengerLock(messenger);
  EXPECT_EQ(FlutterDesktopMessengerLock(messenger), lock);
  FlutterDesktopMessengerSendResponse(messenger, handle, nullptr, 0);
  FlutterDesktopMessengerUnlock(lock);
  FlutterDesktopMessengerUnlock(lock);
  FlutterDesktopMessengerUnlock(nullptr);
  FlutterDesktopMessengerRelease(messenger);
  fake.SetAvailable(false);
  FlutterDesktopMessengerUnlock(FlutterDesktopMessengerLock(messenger));
  FlutterDesktopMessengerSendResponse(messenger, nullptr, answer, 1);

  EXPECT_THAT(
      fake.Violations(),
      ElementsAre(
          "response sent without holding the messenger lock",
          "lock taken again by the thread that holds it", "second response to one message",
          "unlock by a thread that does not hold the lock", "unlock with a null lock value",
          "release without a matching add-ref", "response sent without holding the messenger lock",
          "response sent while the engine is unavailable", "response to an unknown message"));
  EXPECT_EQ(fake.ResponseTo(handle)->bytes, std::vector<uint8_t>{7}) << "the first one counts";
}

TEST(RecordingMessengerTest, TakenResponsesAndCallsAreForgotten) {
  RecordingMessenger fake;
  const FlutterDesktopMessageResponseHandle* handle = nullptr;
  FlutterDesktopMessengerSetCallback(fake.handle(), "c", &KeepHandle, &handle);
  ASSERT_EQ(fake.Deliver("c", {1}), handle);
  Response response{{9, 9}, false};
  EXPECT_FALSE(fake.TakeResponse(handle, &response)) << "not answered yet";
  FlutterDesktopMessengerSendResponse(fake.handle(), handle, nullptr, 0);
  ASSERT_TRUE(fake.TakeResponse(handle, &response));
  EXPECT_TRUE(response.null_data && response.bytes.empty());
  EXPECT_FALSE(fake.ResponseTo(handle).has_value());

  // The next message takes the forgotten one's place, with a handle of its own.
  const FlutterDesktopMessageResponseHandle* first = handle;
  ASSERT_NE(fake.Deliver("c", {2}), first);
  FlutterDesktopMessengerSendResponse(fake.handle(), first, nullptr, 0);
  EXPECT_FALSE(fake.ResponseTo(handle).has_value()) << "answered through the forgotten handle";

  std::vector<MessengerCall> calls;
  fake.MoveCallsInto(&calls);
  EXPECT_EQ(calls.size(), 3u);
  EXPECT_THAT(fake.Calls(), IsEmpty());
  EXPECT_THAT(fake.Violations(), ElementsAre("response sent without holding the messenger lock",
                                             "response sent without holding the messenger lock",
                                             "response to an unknown message"));
}

}  // namespace
}  // namespace testing_fakes
