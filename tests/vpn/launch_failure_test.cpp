#include "tests/vpn/vpn_test_fixture.h"

// This program lies in a folder without the child programs, so every launch fails. A worker whose
// launch failed must not wait for output that nobody writes.
namespace vpn_testing {
namespace {

using ::testing::ElementsAre;

using LaunchFailureTest = VpnTest;

// OpenConnect reports Disconnected, Xray reports Stopped and asks the proxy off again.
TEST_F(LaunchFailureTest, EachKindReportsItsEndAndItsWorkerEnds) {
  ListenOpenConnect();
  ListenXray();
  ToggleOpenConnect("vpn.example.com");
  Settle();
  EXPECT_THAT(open_connect_events_->Codes(), ElementsAre(kConnecting, kDisconnected))
      << "the failure's Disconnected is also the end's";
  EXPECT_EQ(log_.Err(), "Error creating process.\n");
  EXPECT_EQ(Flags(), "") << "the failed launch is the connection's end";
  log_.Clear();
  ToggleXray("{}");
  Settle();
  EXPECT_THAT(xray_events_->Codes(), ElementsAre(kStarting, kProxyOn, kStopped, kProxyOff));
  EXPECT_EQ(log_.Err(), "Error creating process.\nDisabling Proxy\n");
  EXPECT_EQ(Flags(), "");
}

}  // namespace
}  // namespace vpn_testing
