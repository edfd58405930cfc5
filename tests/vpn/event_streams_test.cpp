#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "tests/support/queue_task_runner.h"
#include "tests/support/recording_channel_doubles.h"
#include "tests/vpn/vpn_test_fixture.h"
#include "vpn/event_streams.h"

namespace vpn_testing {
namespace {

using ::testing::ElementsAre;
using testing_support::EventRecord;
using testing_support::RecordingEventSink;
using vpn::EventStream;

using EventStreamsTest = VpnTest;

// A sink that notes its own destruction.
class WatchedSink : public RecordingEventSink {
 public:
  WatchedSink(std::shared_ptr<EventRecord> record, std::shared_ptr<std::atomic<int>> destroyed)
      : RecordingEventSink(std::move(record), nullptr), destroyed_(std::move(destroyed)) {}
  ~WatchedSink() override { ++*destroyed_; }

 private:
  std::shared_ptr<std::atomic<int>> destroyed_;
};

TEST_F(EventStreamsTest, OnlyTheLatestListenerGetsEventsOnThePlatformThread) {
  auto first = std::make_shared<EventRecord>();
  auto destroyed = std::make_shared<std::atomic<int>>(0);
  EXPECT_EQ(vpn::OnListen(EventStream::kOpenConnect, nullptr,
                          std::make_unique<WatchedSink>(first, destroyed)),
            nullptr);
  EXPECT_TRUE(vpn::HasListener(EventStream::kOpenConnect));
  EXPECT_FALSE(vpn::HasListener(EventStream::kXray));
  vpn::PostEvent(vpn::OpenConnectEvent::Connecting);
  ASSERT_TRUE(platform_->Flush());

  ListenOpenConnect();  // replaces the first listener, which is destroyed
  EXPECT_EQ(destroyed->load(), 1);
  vpn::PostEvent(vpn::OpenConnectEvent::Connected);
  vpn::PostEvent(vpn::XrayEvent::Started);  // another stream, no listener: lost
  ASSERT_TRUE(platform_->Flush());

  EXPECT_THAT(first->Codes(), ElementsAre(4));
  EXPECT_THAT(open_connect_events_->Codes(), ElementsAre(5));
  ListenXray();
  ASSERT_TRUE(platform_->Flush());
  EXPECT_THAT(xray_events_->Codes(), ElementsAre()) << "no buffering, no replay";
}

TEST_F(EventStreamsTest, CancelAndClearDropTheSinks) {
  auto destroyed = std::make_shared<std::atomic<int>>(0);
  auto record = std::make_shared<EventRecord>();
  static_cast<void>(
      vpn::OnListen(EventStream::kXray, nullptr, std::make_unique<WatchedSink>(record, destroyed)));
  EXPECT_EQ(vpn::OnCancel(EventStream::kXray, nullptr), nullptr);
  EXPECT_EQ(destroyed->load(), 1);
  EXPECT_FALSE(vpn::HasListener(EventStream::kXray));
  vpn::PostEvent(vpn::XrayEvent::Stopped);

  static_cast<void>(
      vpn::OnListen(EventStream::kXray, nullptr, std::make_unique<WatchedSink>(record, destroyed)));
  static_cast<void>(vpn::OnListen(EventStream::kOpenConnect, nullptr,
                                  std::make_unique<WatchedSink>(record, destroyed)));
  vpn::ClearEventSinks();
  EXPECT_EQ(destroyed->load(), 3);
  EXPECT_FALSE(vpn::HasListener(EventStream::kOpenConnect));
  ASSERT_TRUE(platform_->Flush());
  EXPECT_THAT(record->Codes(), ElementsAre());
}

TEST_F(EventStreamsTest, EventsAreDroppedWithoutAPlatformThread) {
  ListenXray();
  vpn::SetPlatformTaskRunner(nullptr);
  vpn::PostEvent(vpn::XrayEvent::ProxyOn);
  auto stopped = std::make_shared<testing_support::QueueTaskRunner>();
  stopped->Stop();
  vpn::SetPlatformTaskRunner(stopped);
  vpn::PostEvent(vpn::XrayEvent::ProxyOff);
  vpn::SetPlatformTaskRunner(platform_);
  vpn::PostEvent(vpn::XrayEvent::Started);
  ASSERT_TRUE(platform_->Flush());
  EXPECT_THAT(xray_events_->Codes(), ElementsAre(61));
}

TEST_F(EventStreamsTest, EachStreamKeepsItsPostingOrder) {
  ListenOpenConnect();
  ListenXray();
  constexpr int kEvents = 2000;
  std::thread open_connect([] {
    for (int i = 0; i < kEvents; ++i) vpn::PostEvent(EventStream::kOpenConnect, i);
  });
  std::thread xray([] {
    for (int i = 0; i < kEvents; ++i) vpn::PostEvent(EventStream::kXray, -i);
  });
  open_connect.join();
  xray.join();
  ASSERT_TRUE(platform_->Flush());
  std::vector<int32_t> expected_open_connect;
  std::vector<int32_t> expected_xray;
  for (int i = 0; i < kEvents; ++i) {
    expected_open_connect.push_back(i);
    expected_xray.push_back(-i);
  }
  EXPECT_EQ(open_connect_events_->Codes(), expected_open_connect);
  EXPECT_EQ(xray_events_->Codes(), expected_xray);
}

// Listeners come and go on the platform thread while workers post: every sink is destroyed
// exactly once and never used afterwards (the sanitizers watch the latter).
TEST_F(EventStreamsTest, ListenersComeAndGoWhileWorkersPost) {
  auto record = std::make_shared<EventRecord>();
  auto destroyed = std::make_shared<std::atomic<int>>(0);
  std::atomic<bool> posting{true};
  std::vector<std::thread> posters;
  for (int t = 0; t < 4; ++t) {
    posters.emplace_back([&posting, t] {
      while (posting) {
        vpn::PostEvent(t % 2 == 0 ? EventStream::kOpenConnect : EventStream::kXray, 5);
        static_cast<void>(vpn::HasListener(EventStream::kXray));
      }
    });
  }
  constexpr int kRounds = 300;
  for (int i = 0; i < kRounds; ++i) {
    ASSERT_TRUE(platform_->PostTask([&, i] {
      const EventStream stream = i % 2 == 0 ? EventStream::kOpenConnect : EventStream::kXray;
      static_cast<void>(
          vpn::OnListen(stream, nullptr, std::make_unique<WatchedSink>(record, destroyed)));
      if (i % 3 == 0) {
        static_cast<void>(vpn::OnCancel(stream, nullptr));
      }
    }));
    std::this_thread::yield();
  }
  ASSERT_TRUE(platform_->Flush());
  posting = false;
  for (std::thread& poster : posters) poster.join();
  vpn::ClearEventSinks();
  // A delivery still queued keeps its sink until it has run.
  ASSERT_TRUE(platform_->Flush());
  EXPECT_EQ(destroyed->load(), kRounds);
  EXPECT_EQ(record->unexpected_calls(), 0);
}

}  // namespace
}  // namespace vpn_testing
