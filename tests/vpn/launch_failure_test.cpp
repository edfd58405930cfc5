#include "tests/vpn/vpn_test_fixture.h"
#include "vpn/vpn_state.h"

// This program lies in a folder without the child programs, so every launch fails.
namespace vpn_testing {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

using LaunchFailureTest = VpnTest;

TEST_F(LaunchFailureTest, OpenConnectReportsDisconnectedAndItsWorkerEnds) {
  ListenOpenConnect();
  ToggleOpenConnect("vpn.example.com");
  Settle();
  EXPECT_THAT(open_connect_events_->Codes(), ElementsAre(4, 6));
  EXPECT_EQ(log_.Err(), "Error creating process.\n");
  EXPECT_THAT(WorkerOut(), HasSubstr("while acting\nError to read from running console\n"));
  EXPECT_TRUE(vpn::GetVpnState().connecting) << "a failed launch leaves the flags alone";
}

TEST_F(LaunchFailureTest, XrayReportsStoppedAndLeavesTheProxyRequestedOn) {
  ListenXray();
  ToggleXray("{}");
  Settle();
  EXPECT_THAT(xray_events_->Codes(), ElementsAre(3, 8, 41));
  EXPECT_EQ(log_.Err(), "Error creating process.\n");
  EXPECT_TRUE(vpn::GetVpnState().connecting);
}

}  // namespace
}  // namespace vpn_testing
