#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/support/environment.h"
#include "tests/vpn/vpn_test_fixture.h"
#include "vpn/executable_directory.h"
#include "vpn/vpn_state.h"

namespace vpn_testing {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

constexpr int32_t kStarting = 3;
constexpr int32_t kProxyOn = 8;
constexpr int32_t kProxyOff = 9;
constexpr int32_t kStopped = 41;
constexpr int32_t kStarted = 61;

using XrayWorkerTest = VpnTest;

std::filesystem::path ConfigurationFile() {
  return std::filesystem::path(vpn::FilePath(vpn::ExecutableDirectory(), "c.json"));
}

TEST_F(XrayWorkerTest, FeedsTheConfigurationStartsAndStopsOnTheNextToggle) {
  ListenXray();
  const auto report = NewReportDirectory();
  const std::string configuration = ChildScript()
                                        .Report(report)
                                        .Say("Reading config: stdin:")
                                        .Ask()
                                        .Say("[Warning] core: Xray 1.8.4 started")
                                        .RunUntilTerminated()
                                        .Text();
  ToggleXray(configuration);
  ASSERT_TRUE(xray_events_->WaitForCount(3));
  EXPECT_THAT(xray_events_->Codes(), ElementsAre(kStarting, kProxyOn, kStarted));
  EXPECT_TRUE(vpn::GetVpnState().connecting);
  EXPECT_FALSE(vpn::GetVpnState().connected) << "only OpenConnect sets connected";
  EXPECT_EQ(Call("vpnConnected", {})->value, flutter::EncodableValue("0"));

  ToggleXray("stop");
  Settle();
  EXPECT_THAT(xray_events_->Codes(),
              ElementsAre(kStarting, kProxyOn, kStarted, kProxyOff, kStopped));
  EXPECT_FALSE(vpn::GetVpnState().connecting);
  const ChildReport child(report);
  EXPECT_EQ(child.StandardInput(), configuration + "\n");
  EXPECT_EQ(child.WorkingDirectory(), ChildProgramDirectory());
  EXPECT_THAT(log_.Err(), HasSubstr("Reading config: stdin:\nWriting config to stdin\n" +
                                    configuration + "\n"));
  EXPECT_THAT(log_.Err(),
              HasSubstr("vpnConnected FALSE\nDisabling Proxy\nTerminate vpn was sucessfully\n"));
}

TEST_F(XrayWorkerTest, TheChildInheritsTheEnvironmentAndGetsTheConfigurationAsCommandLine) {
  // As the program publishes it at start-up.
  const std::string assets = Utf8(std::filesystem::path(vpn::ExecutableDirectory()));
  testing_support::SetEnvironmentEntry("xray.location.asset", assets);
  const auto report = NewReportDirectory();
  const std::string configuration = ChildScript().Report(report).Text() + ", {\"log\": 1}";
  ToggleXray(configuration);
  Settle();
  const ChildReport child(report);
  EXPECT_THAT(child.Environment(), Contains("xray.location.asset=" + assets));
  EXPECT_THAT(child.Arguments(),
              ElementsAre(ChildScript().Report(report).Text() + ",", "{log:", "1}"));
}

TEST_F(XrayWorkerTest, ARowOnlyActsOnItsOwnChunk) {
  ListenXray();
  const auto report = NewReportDirectory();
  const std::string configuration = ChildScript()
                                        .Report(report)
                                        .Say("stdin: failed to load config files")
                                        .Sleep(300)
                                        .Say("[Warning] core: Xray is starting")
                                        .Sleep(300)
                                        .Say("started")
                                        .Finish()
                                        .Text();
  ToggleXray(configuration);
  Settle();
  EXPECT_THAT(xray_events_->Codes(), ElementsAre(kStarting, kProxyOn));
  EXPECT_EQ(ChildReport(report).StandardInput(), configuration + "\n");
}

TEST_F(XrayWorkerTest, AConfigurationFailureStopsAndRemovesTheConfigurationFile) {
  ListenXray();
  const std::string path = Utf8(ConfigurationFile());
  std::ofstream(ConfigurationFile()) << "{}";
  ToggleXray(ChildScript().Say("main: failed to load config files: x").Text());
  Settle();
  EXPECT_FALSE(std::filesystem::exists(ConfigurationFile()));
  ToggleXray("stop");  // the announced start left connecting set
  Settle();
  ToggleXray(ChildScript().Say("main: failed to load config files: x").Text());
  Settle();
  EXPECT_THAT(xray_events_->Codes(), ElementsAre(kStarting, kProxyOn, kStopped, kProxyOff, kStopped,
                                                 kStarting, kProxyOn, kStopped));
  EXPECT_THAT(log_.Err(), HasSubstr("\nFile Deleted: " + path + "\n"));
  EXPECT_THAT(log_.Err(), HasSubstr("\nFailed to delete file: " + path + "\n"));
}

TEST_F(XrayWorkerTest, AStopWithoutAnXrayChildStillRequestsProxyOffAndClearsTheFlags) {
  ListenXray();
  vpn::GetVpnState().connecting = true;  // as an OpenConnect start announced to a listener
  vpn::GetVpnState().connected = true;
  ToggleXray(ChildScript().Report(NewReportDirectory()).Text());
  Settle();
  EXPECT_THAT(xray_events_->Codes(), ElementsAre(kProxyOff, kStopped));
  EXPECT_EQ(log_.Err(), "Disabling Proxy\nTerminate vpn was failed\n");
  EXPECT_FALSE(vpn::GetVpnState().connecting);
  EXPECT_FALSE(vpn::GetVpnState().connected);
}

TEST_F(XrayWorkerTest, WithoutAListenerNothingIsPostedAndNothingIsAnnounced) {
  ToggleXray(ChildScript().Say("[Warning] core: Xray started").Text());
  Settle();
  EXPECT_FALSE(vpn::GetVpnState().connecting);
  ListenXray();
  ASSERT_TRUE(platform_->Flush());
  EXPECT_THAT(xray_events_->Codes(), ElementsAre());
}

TEST_F(XrayWorkerTest, OutputIsReadInChunksOfAtMost4096BytesAndNoneIsLost) {
  constexpr size_t kBurst = 3 * 4096 + 100;
  ToggleXray(ChildScript().Burst(kBurst, "").Text());
  Settle();
  // Each chunk is logged as one line on standard error.
  std::istringstream lines(log_.Err());
  size_t total = 0;
  size_t full_chunks = 0;
  for (std::string line; std::getline(lines, line);) {
    if (line.find('#') == std::string::npos) {
      continue;
    }
    EXPECT_LE(line.size(), 4096u);
    EXPECT_EQ(std::count(line.begin(), line.end(), '#'), static_cast<long>(line.size()));
    total += line.size();
    full_chunks += line.size() == 4096 ? 1 : 0;
  }
  EXPECT_EQ(total, kBurst);
  EXPECT_GE(full_chunks, 1u);
}

}  // namespace
}  // namespace vpn_testing
