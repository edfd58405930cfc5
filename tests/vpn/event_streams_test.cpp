#include <memory>

#include "tests/support/queue_task_runner.h"
#include "tests/support/recording_channel_doubles.h"
#include "tests/vpn/vpn_test_fixture.h"
#include "vpn/event_streams.h"

namespace vpn_testing {
namespace {

using ::testing::ElementsAre;
using testing_support::EventRecord;
using vpn::EventStream;

using EventStreamsTest = VpnTest;

// A listen replaces the sink, a cancel and the shell's clearing drop it, each at once and for its
// stream only. An event without a listener is lost, not kept for the next one, and so is one
// without a platform thread, or with one that takes no more tasks (after the shell's teardown).
TEST_F(EventStreamsTest, OnlyTheLatestListenerGetsEvents) {
  const auto first = std::make_shared<EventRecord>();
  const auto listen_first = [&](EventStream stream) {
    static_cast<void>(vpn::OnListen(
        stream, nullptr, std::make_unique<testing_support::RecordingEventSink>(first, nullptr)));
  };
  listen_first(EventStream::kOpenConnect);
  EXPECT_FALSE(vpn::HasListener(EventStream::kXray));
  vpn::PostEvent(vpn::OpenConnectEvent::Connecting);
  ASSERT_TRUE(platform_->Flush());
  ListenOpenConnect();
  EXPECT_EQ(first.use_count(), 1) << "the replaced sink is destroyed";
  vpn::PostEvent(vpn::OpenConnectEvent::Connected);
  vpn::PostEvent(vpn::XrayEvent::Started);
  ASSERT_TRUE(platform_->Flush());
  listen_first(EventStream::kXray);
  EXPECT_EQ(vpn::OnCancel(EventStream::kXray, nullptr), nullptr);
  EXPECT_EQ(first.use_count(), 1);
  EXPECT_TRUE(vpn::HasListener(EventStream::kOpenConnect));
  ListenXray();
  vpn::SetPlatformTaskRunner(nullptr);
  vpn::PostEvent(vpn::XrayEvent::ProxyOn);
  auto stopped = std::make_shared<testing_support::QueueTaskRunner>();
  stopped->Stop();
  vpn::SetPlatformTaskRunner(stopped);
  vpn::PostEvent(vpn::XrayEvent::ProxyOff);
  vpn::SetPlatformTaskRunner(platform_);
  vpn::PostEvent(vpn::XrayEvent::Stopped);
  ASSERT_TRUE(platform_->Flush());
  listen_first(EventStream::kOpenConnect);
  vpn::ClearEventSinks();
  EXPECT_EQ(first.use_count(), 1);
  EXPECT_FALSE(vpn::HasListener(EventStream::kOpenConnect) || vpn::HasListener(EventStream::kXray));
  EXPECT_THAT(first->Codes(), ElementsAre(kConnecting));
  EXPECT_THAT(open_connect_events_->Codes(), ElementsAre(kConnected));
  EXPECT_THAT(xray_events_->Codes(), ElementsAre(kStopped));
}

}  // namespace
}  // namespace vpn_testing
