#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "tests/end_to_end/staged_run.h"
#include "tests/vpn/vpn_test_fixture.h"

// The staged program under Wine, driven by UI scripts: the connections as the UI makes them, and
// what the children get from the program.
namespace end_to_end {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsSupersetOf;
using vpn_testing::ChildReport;
using vpn_testing::ChildScript;
using vpn_testing::Utf8;

// Non-ASCII, a space and a tab: the child must get the bytes unchanged.
constexpr char kUserName[] = "j\xC3\xBCrgen";
constexpr char kPassword[] = "p@ss w0rd\t!";

std::string ScreenSizeOfThisDisplay() {
  RECT desktop{};
  GetWindowRect(GetDesktopWindow(), &desktop);
  return std::to_string(desktop.right) + "," + std::to_string(desktop.bottom);
}

std::vector<std::string> AssetLocationEntries(const std::string& directory) {
  return {"v2ray.location.asset=" + directory, "xray.location.asset=" + directory};
}

// The flows of the demo, run once for the whole suite: an OpenConnect connection made and ended,
// an Xray connection started and stopped, the queries, the window closed to the background and
// then destroyed.
class ConnectionFlow : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder_ = CaseFolder("connection_flow");
    std::filesystem::create_directories(folder_ / "openconnect");
    std::filesystem::create_directories(folder_ / "xray");
    server_ = ChildScript()
                  .Report(folder_ / "openconnect")
                  .Say(
                      "Certificate from VPN server \"vpn.example\" failed verification.\n"
                      "Enter 'yes' to accept, 'no' to abort; anything else to view:")
                  .Ask()
                  .Say("Please enter your username and password.\nUsername:")
                  .Ask()
                  .Say("Password:")
                  .Ask()
                  .Say("Connected as 10.8.0.2\nUsing TAP-Windows device '{4D36E972}' index 7")
                  .RunUntilTerminated()
                  .Text();
    configuration_ = ChildScript()
                         .Report(folder_ / "xray")
                         .Say("Reading config: stdin:")
                         .Ask()
                         .Say("[Warning] core: Xray 1.8.4 started")
                         .RunUntilTerminated()
                         .Text();
    UiScript script;
    script.Listen(kOpenConnectEvents)
        .Listen(kXrayEvents)
        // The UI side shows the window at start; at 96 DPI it has its logical place and size.
        .ExpectWindow({{"visible", 1},
                       {"foreground", 1},
                       {"x", 10},
                       {"y", 10},
                       {"width", 360},
                       {"height", 690}})
        .Call("vpnConnected", nullptr, "0")
        .ToggleOpenConnect(server_, kUserName, kPassword)
        .ExpectEvent(kOpenConnectEvents, 4)
        .ExpectEvent(kOpenConnectEvents, 5)
        .Call("vpnConnected", nullptr, "1")
        .ToggleOpenConnect("", "", "")
        .ExpectEvent(kOpenConnectEvents, 6)
        .Call("vpnConnected", nullptr, "0")
        .ToggleXray(configuration_)
        .ExpectEvent(kXrayEvents, 3)
        .ExpectEvent(kXrayEvents, 8)
        .ExpectEvent(kXrayEvents, 61)
        .Call("vpnConnected", nullptr, "0")
        .ToggleXray("")
        .ExpectEvent(kXrayEvents, 9)
        .ExpectEvent(kXrayEvents, 41)
        .Call("screen_size", nullptr, ScreenSizeOfThisDisplay())
        .Act("close")
        .ExpectWindow({{"visible", 0}})
        .Call("vpnConnected", nullptr, "0")
        .Call("screen_size", nullptr, ScreenSizeOfThisDisplay())
        .Act("destroy");
    run_ = std::make_unique<StagedRun>(StageDirectory(), folder_, script);
    finished_ = run_->Finish();
    if (run_->started()) {
      const DWORD program = run_->program().process_id();
      for (const wchar_t* child : {L"openconnect.exe", L"xray.exe"}) {
        for (const DWORD id : RunningChildren(program, child)) {
          ++children_left_;
          EndProcess(id);
        }
      }
    }
  }
  static void TearDownTestSuite() { run_.reset(); }

  void SetUp() override { ASSERT_TRUE(finished_) << run_->Describe(); }

  static std::string StageText() { return Utf8(StageDirectory()); }

  static inline std::filesystem::path folder_;
  static inline std::string server_;
  static inline std::string configuration_;
  static inline std::unique_ptr<StagedRun> run_;
  static inline bool finished_ = false;
  static inline int children_left_ = 0;
};

TEST_F(ConnectionFlow, EveryCheckHoldsAndTheProgramExitsZeroWithNoChildLeft) {
  EXPECT_EQ(run_->program().exit_code(), 0u) << run_->Describe();
  EXPECT_TRUE(run_->Transcript().Passed()) << run_->Describe();
  EXPECT_EQ(children_left_, 0) << "both connections were stopped";
}

TEST_F(ConnectionFlow, EventsArriveInOrderOnEachStream) {
  const TranscriptLines transcript = run_->Transcript();
  EXPECT_THAT(transcript.Events(kOpenConnectEvents), ElementsAre("4", "5", "6"));
  EXPECT_THAT(transcript.Events(kXrayEvents), ElementsAre("3", "8", "61", "9", "41"));
}

TEST_F(ConnectionFlow, ChildrenGetTheirCommandLinesAndExactlyTheAnswers) {
  const ChildReport open_connect(folder_ / "openconnect");
  EXPECT_EQ(open_connect.RawCommandLine(), "--allow-insecure-crypto " + server_);
  EXPECT_EQ(open_connect.StandardInput(),
            std::string("yes\n") + kUserName + "\n" + kPassword + "\n");
  const ChildReport xray(folder_ / "xray");
  EXPECT_EQ(xray.RawCommandLine(), configuration_);
  EXPECT_EQ(xray.StandardInput(), configuration_ + "\n");
}

TEST_F(ConnectionFlow, ChildrenInheritTheAssetLocationsAndXrayRunsBesideTheProgram) {
  const ChildReport open_connect(folder_ / "openconnect");
  const ChildReport xray(folder_ / "xray");
  EXPECT_THAT(open_connect.Environment(), IsSupersetOf(AssetLocationEntries(StageText())));
  EXPECT_THAT(xray.Environment(), IsSupersetOf(AssetLocationEntries(StageText())));
  EXPECT_EQ(xray.WorkingDirectory(), StageText());
  EXPECT_EQ(open_connect.WorkingDirectory(), Utf8(folder_)) << "the program's own";
}

TEST_F(ConnectionFlow, EnvironmentLinesComeFirstOnStandardOutput) {
  const std::vector<std::string> output = run_->OutputLines();
  ASSERT_GE(output.size(), 5u) << run_->Describe();
  EXPECT_THAT(std::vector<std::string>(output.begin(), output.begin() + 4),
              ElementsAreArray(EnvironmentLines(StageDirectory())));
  EXPECT_TRUE(output[4].starts_with("arguments ")) << "the engine starts only after them";
}

TEST_F(ConnectionFlow, ClosingFromTheFrameHidesTheWindowAndTheChannelsStillAnswer) {
  const std::vector<std::string> after_close = run_->Transcript().After("close");
  EXPECT_THAT(after_close, Contains("ok window visible=0"));
  EXPECT_THAT(after_close, Contains("ok reply vpnConnected \"0\""));
  EXPECT_THAT(after_close, Contains("ok reply screen_size \"" + ScreenSizeOfThisDisplay() + "\""));
}

TEST_F(ConnectionFlow, ScreenSizeIsTheVirtualDisplays) {
  // scripts/test and scripts/wine-exec run the suite on a 1280x1024 Xvfb screen.
  EXPECT_THAT(run_->Transcript().lines(), Contains("ok reply screen_size \"1280,1024\""));
}

TEST_F(ConnectionFlow, TheProgramLogsEachStep) {
  const std::vector<std::string> errors = run_->ErrorLines();
  EXPECT_THAT(errors, IsSupersetOf({"Server is done", "vpnConnected TRUE", "vpnConnected FALSE",
                                    "Writing config to stdin", "Disabling Proxy"}));
  EXPECT_EQ(std::count(errors.begin(), errors.end(), "Terminate vpn was sucessfully"), 2);
}

// A configuration that Xray cannot load: the stream reports the stop and the program removes the
// configuration file beside it, or says that it could not.
TEST(XrayConfiguration, AFailureIsReportedAndTheConfigurationFileRemoved) {
  const std::filesystem::path folder = CaseFolder("xray_configuration");
  const std::filesystem::path stage = CopyOfStage(folder, Assets::kIncluded);
  std::ofstream(stage / "c.json") << "{}";
  const std::string failing =
      ChildScript()
          .Say("Reading config: stdin:")
          .Ask()
          .Say("Failed to start: main: failed to load config files: [c.json] > invalid")
          .Finish()
          .Text();
  UiScript script;
  script.Listen(kXrayEvents)
      .ToggleXray(failing)
      .ExpectEvent(kXrayEvents, 3)
      .ExpectEvent(kXrayEvents, 8)
      .ExpectEvent(kXrayEvents, 41)
      // The child ends after its failure: its end asks the proxy off, and the next toggle starts.
      .ExpectEvent(kXrayEvents, 9)
      .ToggleXray(failing)
      .ExpectEvent(kXrayEvents, 3)
      .ExpectEvent(kXrayEvents, 8)
      .ExpectEvent(kXrayEvents, 41)
      .ExpectEvent(kXrayEvents, 9)
      .Act("destroy");
  StagedRun run(stage, folder, script);
  ASSERT_TRUE(run.Finish()) << run.Describe();

  EXPECT_EQ(run.program().exit_code(), 0u) << run.Describe();
  EXPECT_TRUE(run.Transcript().Passed()) << run.Describe();
  EXPECT_THAT(run.Transcript().Events(kXrayEvents),
              ElementsAre("3", "8", "41", "9", "3", "8", "41", "9"));
  const std::string configuration_file = Utf8(stage / "c.json");
  std::vector<std::string> removals;
  for (const std::string& line : run.ErrorLines()) {
    if (line.starts_with("File Deleted: ") || line.starts_with("Failed to delete file: ")) {
      removals.push_back(line);
    }
  }
  EXPECT_THAT(removals, ElementsAre("File Deleted: " + configuration_file,
                                    "Failed to delete file: " + configuration_file));
  EXPECT_FALSE(std::filesystem::exists(stage / "c.json"));
}

// A double click on the connect button: the second toggle stops the start of the first, whatever
// moment it lands in, and no client is left running.
TEST(DoubleToggle, EndsWithConnectingThenDisconnectedAndNoChildLeft) {
  const std::filesystem::path folder = CaseFolder("double_toggle");
  const std::string server = ChildScript().RunUntilTerminated().Text();
  UiScript script;
  script.Listen(kOpenConnectEvents)
      .Add({{"do", "call"},
            {"method", "toggleOpenConnect"},
            {"args", {server, "user", "secret"}},
            {"wait", false}})
      .ToggleOpenConnect(server, "user", "secret")
      .ExpectEvent(kOpenConnectEvents, 4)
      .ExpectEvent(kOpenConnectEvents, 6)
      .Add({{"do", "expect_no_event"}, {"channel", kOpenConnectEvents}})
      .Call("vpnConnected", nullptr, "0")
      .Act("destroy");
  StagedRun run(StageDirectory(), folder, script);
  const bool finished = run.Finish();
  std::vector<DWORD> left;
  if (run.started()) left = RunningChildren(run.program().process_id(), L"openconnect.exe");
  for (const DWORD id : left) EndProcess(id);

  ASSERT_TRUE(finished) << run.Describe();
  EXPECT_TRUE(run.Transcript().Passed()) << run.Describe();
  EXPECT_THAT(run.Transcript().Events(kOpenConnectEvents), ElementsAre("4", "6"));
  EXPECT_EQ(left.size(), 0u);
}

// The program ends while both workers still wait on their children: it must exit cleanly and
// leave the children running, as it never terminates them at exit.
TEST(Shutdown, DestroyingTheWindowWhileChildrenRunExitsZero) {
  const std::filesystem::path folder = CaseFolder("shutdown");
  UiScript script;
  script.Listen(kOpenConnectEvents)
      .Listen(kXrayEvents)
      .ToggleOpenConnect(ChildScript().Say("Using TAP-Windows device").Sleep(30000).Text(), "user",
                         "secret")
      .ExpectEvent(kOpenConnectEvents, 4)
      .ExpectEvent(kOpenConnectEvents, 5)
      .ToggleXray(ChildScript().Say("[Warning] core: Xray started").Sleep(30000).Text())
      .ExpectEvent(kXrayEvents, 3)
      .ExpectEvent(kXrayEvents, 8)
      .ExpectEvent(kXrayEvents, 61)
      .Act("destroy");
  StagedRun run(StageDirectory(), folder, script);
  const bool finished = run.Finish();
  std::vector<DWORD> left;
  if (run.started()) {
    for (const wchar_t* child : {L"openconnect.exe", L"xray.exe"}) {
      const std::vector<DWORD> running = RunningChildren(run.program().process_id(), child);
      left.insert(left.end(), running.begin(), running.end());
    }
  }
  for (const DWORD id : left) EndProcess(id);

  ASSERT_TRUE(finished) << run.Describe();
  EXPECT_EQ(run.program().exit_code(), 0u) << run.Describe();
  const TranscriptLines transcript = run.Transcript();
  EXPECT_TRUE(transcript.Passed()) << run.Describe();
  EXPECT_EQ(transcript.lines().back(), "engine stopped");
  EXPECT_EQ(left.size(), 2u) << "both children were still running when the program ended";
}

}  // namespace
}  // namespace end_to_end
