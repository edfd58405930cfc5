#include <string>
#include <vector>

#include "tests/vpn/vpn_test_fixture.h"
#include "vpn/executable_directory.h"
#include "vpn/openconnect_worker.h"
#include "vpn/vpn_state.h"

namespace vpn_testing {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

using OpenConnectWorkerTest = VpnTest;

struct PhraseCase {
  const char* row;
  Writes writes;
  std::string log;    // all of standard error
  Codes events;       // after the start's Connecting
  std::string input;  // all the child received, for user "user" and password "secret"
  std::string flags;  // afterwards
};

TEST_F(OpenConnectWorkerTest, EachChunkActsByTheFirstRowOfThePhraseTableItHolds) {
  const PhraseCase cases[] = {
      {"1, the prompt after it unanswered", Writes{"Using TAP-Windows device '{x}' Password:"},
       "Server is done\n", Codes{kConnected}, "", "connected"},
      {"1 after several full chunks",
       Writes{std::string(3 * 4096 + 100, '.'), "Using TAP-Windows device"}, "Server is done\n",
       Codes{kConnected}, "", "connected"},
      {"2", Writes{"Connect failed: will try again."}, "Reconnecting\n", Codes{kConnecting}, "",
       ""},
      {"3, failed: without try again.", Writes{"SSL Read error; failed: x"},
       "Faild to connection\n", Codes{kDisconnected}, "", ""},
      {"4", Writes{"Failed to reconnect to host"}, "Faild to reconnection\n", Codes{kDisconnected},
       "", ""},
      {"5", Writes{"Server certificate verify failed: certificate does not match SNI"},
       "Faild to reconnection\n", Codes{kDisconnected}, "", ""},
      {"6", Writes{"Failed to complete authentication"}, "Faild to connect to the server\n",
       Codes{kDisconnected}, "", ""},
      {"7", Writes{"Connection timeout"}, "Timeout to reconnection\n", Codes{kDisconnected}, "",
       ""},
      {"8", Writes{"Certificate unknown.\nEnter 'yes' to accept, 'no' to abort"}, "", Codes{},
       "yes\n", "connecting"},
      {"9", Writes{"Username:"}, "", Codes{}, "user\n", "connecting"},
      {"10", Writes{"Password:"}, "", Codes{}, "secret\n", "connecting"},
      {"9 before 10", Writes{"Username: Password:"}, "", Codes{}, "user\n", "connecting"},
      {"none: 1 cut by a read", Writes{"Using TAP-Win", "dows device"}, "", Codes{}, "",
       "connecting"},
      {"none: 7 in another case", Writes{"Timeout reached"}, "", Codes{}, "", "connecting"},
      {"none: failed: alone", Writes{"failed: for good"}, "", Codes{}, "", "connecting"},
  };
  ListenOpenConnect();
  for (const PhraseCase& test : cases) {
    SCOPED_TRACE(std::string("row ") + test.row);
    StartOver();
    const auto report = NewReportDirectory();
    ToggleOpenConnect(ScriptOf(report, test.writes));
    Settle();

    Codes events = {kConnecting};
    events.insert(events.end(), test.events.begin(), test.events.end());
    EXPECT_EQ(open_connect_events_->Codes(), events);
    EXPECT_EQ(log_.Err(), test.log);
    // The start is announced before connecting is set; a row logs before its event and changes
    // the flags after it.
    std::vector<std::string> moments = {"|"};
    if (!test.events.empty()) moments.push_back(test.log + "|connecting");
    EXPECT_EQ(Moments(), moments);
    EXPECT_EQ(Flags(), test.flags);
    EXPECT_EQ(ChildReport(report).StandardInput(), test.input);
  }
}

TEST_F(OpenConnectWorkerTest, AnswersThePromptsConnectsAndStopsOnTheNextToggle) {
  ListenOpenConnect();
  const auto report = NewReportDirectory();
  const std::string user_name = "j\xC3\xBCrgen";  // non-ASCII, written byte for byte
  const std::string password = "p@ss w0rd\t!";
  ChildScript script;
  script.Report(report).Say("Server certificate unknown.\nEnter 'yes' to accept, 'no' to abort");
  script.Ask().Say("Username:").Ask().Say("Password:").Ask().Say("Using TAP-Windows device");
  ToggleOpenConnect(script.RunUntilTerminated().Text(), user_name, password);
  ASSERT_TRUE(WaitUntil(Connected));
  EXPECT_EQ(Call("vpnConnected", {})->value, flutter::EncodableValue("1"));

  ToggleOpenConnect("a stop request needs no server");
  Settle();
  EXPECT_THAT(open_connect_events_->Codes(), ElementsAre(kConnecting, kConnected, kDisconnected));
  EXPECT_THAT(Moments(), ElementsAre("|", "Server is done\n|connecting",
                                     "Server is done\nvpnConnected TRUE\n"
                                     "Terminate vpn was sucessfully\n|connected"));
  EXPECT_EQ(Flags(), "");
  EXPECT_EQ(Call("vpnConnected", {})->value, flutter::EncodableValue("0"));
  EXPECT_EQ(ChildReport(report).StandardInput(), "yes\n" + user_name + "\n" + password + "\n");
  const std::string application =
      vpn::NativeToUtf8(vpn::ProgramPath(vpn::ExecutableDirectory(), "openconnect"));
  EXPECT_THAT(log_.Out(), HasSubstr(application + "\n"));
  EXPECT_FALSE(vpn::GetVpnState().openConnectProcess.HasLiveChild());
}

// A child that ended by itself counts as none, although connected stayed set; after a failure
// both flags are clear, although the child still runs.
TEST_F(OpenConnectWorkerTest, AfterAnEndOrAFailureTheNextToggleLaunchesAnotherChild) {
  ListenOpenConnect();
  ToggleOpenConnect(ChildScript().Say("Using TAP-Windows device").Text());
  Settle();
  ASSERT_EQ(Flags(), "connected");
  const auto failing = NewReportDirectory();
  ToggleOpenConnect(
      ChildScript().Report(failing).Say("failed: please try again.").Sleep(1500).Text());
  ASSERT_TRUE(open_connect_events_->WaitForCount(4));
  ASSERT_TRUE(WaitUntil([] { return Flags().empty(); }));
  const auto last = NewReportDirectory();
  ToggleOpenConnect(ChildScript().Report(last).Finish().Text());
  Settle();
  EXPECT_TRUE(ChildReport(failing).Exists());
  EXPECT_TRUE(ChildReport(last).Exists());
  EXPECT_THAT(open_connect_events_->Codes(),
              ElementsAre(kConnecting, kConnected, kConnecting, kConnecting, kConnecting));
  EXPECT_EQ(log_.Err(), "Server is done\nReconnecting\n");
}

TEST_F(OpenConnectWorkerTest, TheServerReachesTheChildAsExactlyOneArgument) {
  for (const std::string tail : {"", ",note=two words", ",note=\"quoted\" and \\\"escaped\\\\",
                                 ",note=trailing backslash\\"}) {
    const auto report = NewReportDirectory();
    const std::string server = ChildScript().Report(report).Finish().Text() + tail;
    ToggleOpenConnect(server);
    Settle();
    EXPECT_THAT(ChildReport(report).Arguments(), ElementsAre("--allow-insecure-crypto", server));
    if (kWindows) {
      EXPECT_EQ(ChildReport(report).RawCommandLine(),
                vpn::NativeToUtf8(vpn::OpenConnectCommandLine(server)));
    }
  }
}

}  // namespace
}  // namespace vpn_testing
