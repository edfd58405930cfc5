#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/environment.h"
#include "tests/vpn/vpn_test_fixture.h"
#include "vpn/executable_directory.h"
#include "vpn/vpn_state.h"

namespace vpn_testing {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::EndsWith;

using XrayWorkerTest = VpnTest;

struct PhraseCase {
  const char* row;
  Writes writes;
  Codes events;  // after the start's Starting and ProxyOn, up to the child's end
  bool configuration_written;
  std::string removal_line;  // before the path of "c.json"; the file exists for "File Deleted: "
};

// Each child writes, waits until the test has seen that no row changed the flags, and ends by
// itself: its end asks the proxy off and reports Stopped, each unless it was sent already.
TEST_F(XrayWorkerTest, EachChunkIsLoggedAndActsByTheFirstRowOfThePhraseTableItHolds) {
  const PhraseCase cases[] = {
      {"1", Writes{"Reading config: stdin:"}, Codes{kProxyOff, kStopped}, true, ""},
      {"2", Writes{"[Warning] core: Xray 1.8.4 started"}, Codes{kStarted, kProxyOff, kStopped},
       false, ""},
      {"3", Writes{"main: failed to load config files: x"}, Codes{kStopped, kProxyOff}, false,
       "File Deleted: "},
      {"3 without the file", Writes{"main: failed to load config files: x"},
       Codes{kStopped, kProxyOff}, false, "Failed to delete file: "},
      {"1 before 3", Writes{"stdin: failed to load config files"}, Codes{kProxyOff, kStopped}, true,
       ""},
      {"none: 2 cut", Writes{"[Warning] core: Xray is starting", "started"},
       Codes{kProxyOff, kStopped}, false, ""},
      {"none: no output at all", Writes{}, Codes{kProxyOff, kStopped}, false, ""},
  };
  const std::filesystem::path file(vpn::FilePath(vpn::ExecutableDirectory(), "c.json"));
  ListenXray();
  for (const PhraseCase& test : cases) {
    SCOPED_TRACE(std::string("row ") + test.row);
    StartOver();
    std::filesystem::remove(file);
    if (test.removal_line == "File Deleted: ") std::ofstream(file) << "{}";
    const auto report = NewReportDirectory();
    const auto end = report / "end";
    const std::string configuration = ScriptOf(report, test.writes, end);
    ToggleXray(configuration);
    ASSERT_TRUE(WaitForWrites(report, test.writes));
    EXPECT_EQ(Flags(), "connecting") << "no row changes the flags";
    Release(end);
    Settle();

    Codes events = {kStarting, kProxyOn};
    events.insert(events.end(), test.events.begin(), test.events.end());
    EXPECT_EQ(xray_events_->Codes(), events);
    std::string log;
    for (const std::string& write : test.writes) log += write + "\n";
    if (test.configuration_written) log += "Writing config to stdin\n" + configuration + "\n";
    if (!test.removal_line.empty()) log += test.removal_line + Utf8(file) + "\n";
    EXPECT_EQ(log_.Err(), log + "Disabling Proxy\n");
    EXPECT_EQ(ChildReport(report).StandardInput(),
              test.configuration_written ? configuration + "\n" : "");
    EXPECT_EQ(Flags(), "");
    EXPECT_FALSE(std::filesystem::exists(file));
  }
}

TEST_F(XrayWorkerTest, StartsInItsFolderWithTheConfigurationAndStopsOnTheNextToggle) {
  // As the program publishes it at start-up.
  const std::string folder = Utf8(std::filesystem::path(vpn::ExecutableDirectory()));
  testing_support::SetEnvironmentEntry("xray.location.asset", folder);
  ListenXray();
  const auto report = NewReportDirectory();
  ChildScript child_script;
  child_script.Report(report).Say("Reading config: stdin:").Ask();
  const std::string script =
      child_script.Say("[Warning] core: Xray 1.8.4 started").RunUntilTerminated().Text();
  const std::string configuration = script + ", {\"log\": 1}";
  const std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(scratch_);  // so that the child's own folder shows
  ToggleXray(configuration);
  const bool started = xray_events_->WaitForCount(3);
  std::filesystem::current_path(previous);
  ASSERT_TRUE(started);
  EXPECT_EQ(Flags(), "connecting") << "only OpenConnect sets connected";
  EXPECT_EQ(Call("vpnConnected", {})->value, flutter::EncodableValue("0"));

  ToggleXray("stop");
  Settle();
  EXPECT_THAT(xray_events_->Codes(),
              ElementsAre(kStarting, kProxyOn, kStarted, kProxyOff, kStopped));
  // The proxy is asked off before the termination; the flags are cleared before Stopped.
  const std::vector<std::string> moments = Moments();
  ASSERT_EQ(moments.size(), 5u);
  EXPECT_THAT(moments[3], EndsWith("\nvpnConnected FALSE\nDisabling Proxy\n|connecting"));
  EXPECT_THAT(moments[4], EndsWith("\nDisabling Proxy\nTerminate vpn was sucessfully\n|"));
  EXPECT_EQ(Flags(), "");
  const ChildReport child(report);
  EXPECT_EQ(child.StandardInput(), configuration + "\n");
  EXPECT_EQ(child.WorkingDirectory(), folder);
  EXPECT_THAT(child.Environment(), Contains("xray.location.asset=" + folder));
  EXPECT_THAT(child.Arguments(), ElementsAre(script + ",", "{log:", "1}"))
      << "the configuration is the whole command line";
}

// Each kind takes its own stop path while the other kind's start left connecting set: OpenConnect
// finds no child of its own and changes nothing, Xray still asks the proxy off and clears both.
TEST_F(XrayWorkerTest, AStopWithoutAChildOfItsKindFailsAsEachKindPrescribes) {
  ListenOpenConnect();
  ListenXray();
  vpn::GetVpnState().connecting = true;
  ToggleOpenConnect("vpn.example.com");
  Settle();
  EXPECT_EQ(log_.Err(), "Terminate vpn was failed\n");
  EXPECT_EQ(Flags(), "connecting");

  vpn::GetVpnState().connected = true;
  ToggleXray("stop");
  Settle();
  EXPECT_EQ(open_connect_events_->Codes(), Codes{});
  EXPECT_THAT(xray_events_->Codes(), ElementsAre(kProxyOff, kStopped));
  EXPECT_THAT(Moments(),
              ElementsAre("Terminate vpn was failed\nDisabling Proxy\n|connected+connecting",
                          "Terminate vpn was failed\nDisabling Proxy\n"
                          "Terminate vpn was failed\n|"));
  EXPECT_EQ(Flags(), "");
}

TEST_F(XrayWorkerTest, WithoutListenersNothingIsAnnouncedAndEveryToggleLaunchesAChild) {
  std::vector<std::filesystem::path> reports;
  for (int round = 0; round < 2; ++round) {
    reports.push_back(NewReportDirectory());
    ToggleOpenConnect(ChildScript().Report(reports.back()).Text());
    reports.push_back(NewReportDirectory());
    ToggleXray(ChildScript().Report(reports.back()).Say("[Warning] core: Xray started").Text());
    Settle();
    EXPECT_EQ(Flags(), "");
  }
  for (const auto& report : reports) {
    EXPECT_TRUE(ChildReport(report).Exists());
  }
  EXPECT_EQ(Moments(), std::vector<std::string>{}) << "nothing was posted";
}

}  // namespace
}  // namespace vpn_testing
