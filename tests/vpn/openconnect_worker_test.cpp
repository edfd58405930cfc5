#include <string>
#include <vector>

#include "tests/vpn/vpn_test_fixture.h"
#include "vpn/executable_directory.h"
#include "vpn/openconnect_worker.h"
#include "vpn/vpn_state.h"
#include "vpn/worker_thread.h"

namespace vpn_testing {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

using OpenConnectWorkerTest = VpnTest;

struct PhraseCase {
  const char* row;
  Writes writes;
  std::string log;    // all of standard error
  std::string flags;  // once the last write is classified
  Codes events;       // after the start's Connecting, up to the child's end
  std::string input;  // all the child received, for user "user" and password "secret"
};

// Each child writes, waits until the test has seen the flags, and ends by itself: its end is
// reported with Disconnected unless that was its last event, and leaves both flags clear.
TEST_F(OpenConnectWorkerTest, EachChunkActsByTheFirstRowOfThePhraseTableItHolds) {
  const PhraseCase cases[] = {
      {"1, the prompt after it unanswered", Writes{"Using TAP-Windows device '{x}' Password:"},
       "Server is done\n", "connected", Codes{kConnected, kDisconnected}, ""},
      {"1 after several full chunks",
       Writes{std::string(3 * 4096 + 100, '.'), "Using TAP-Windows device"}, "Server is done\n",
       "connected", Codes{kConnected, kDisconnected}, ""},
      {"2", Writes{"Connect failed: will try again."}, "Reconnecting\n", "",
       Codes{kConnecting, kDisconnected}, ""},
      {"3, failed: without try again.", Writes{"SSL Read error; failed: x"},
       "Faild to connection\n", "", Codes{kDisconnected}, ""},
      {"4", Writes{"Failed to reconnect to host"}, "Faild to reconnection\n", "",
       Codes{kDisconnected}, ""},
      {"5", Writes{"Server certificate verify failed: certificate does not match SNI"},
       "Faild to reconnection\n", "", Codes{kDisconnected}, ""},
      {"6", Writes{"Failed to complete authentication"}, "Faild to connect to the server\n", "",
       Codes{kDisconnected}, ""},
      {"7", Writes{"Connection timeout"}, "Timeout to reconnection\n", "", Codes{kDisconnected},
       ""},
      {"8", Writes{"Certificate unknown.\nEnter 'yes' to accept, 'no' to abort"}, "", "connecting",
       Codes{kDisconnected}, "yes\n"},
      {"9", Writes{"Username:"}, "", "connecting", Codes{kDisconnected}, "user\n"},
      {"10", Writes{"Password:"}, "", "connecting", Codes{kDisconnected}, "secret\n"},
      {"9 before 10", Writes{"Username: Password:"}, "", "connecting", Codes{kDisconnected},
       "user\n"},
      {"none: 1 cut by a read", Writes{"Using TAP-Win", "dows device"}, "", "connecting",
       Codes{kDisconnected}, ""},
      {"none: 7 in another case", Writes{"Timeout reached"}, "", "connecting", Codes{kDisconnected},
       ""},
      {"none: failed: alone", Writes{"failed: for good"}, "", "connecting", Codes{kDisconnected},
       ""},
      {"none: no output at all", Writes{}, "", "connecting", Codes{kDisconnected}, ""},
  };
  ListenOpenConnect();
  for (const PhraseCase& test : cases) {
    SCOPED_TRACE(std::string("row ") + test.row);
    StartOver();
    const auto report = NewReportDirectory();
    const auto end = report / "end";
    ToggleOpenConnect(ScriptOf(report, test.writes, end));
    ASSERT_TRUE(WaitForWrites(report, test.writes));
    EXPECT_EQ(Flags(), test.flags);
    Release(end);
    Settle();

    Codes events = {kConnecting};
    events.insert(events.end(), test.events.begin(), test.events.end());
    EXPECT_EQ(open_connect_events_->Codes(), events);
    EXPECT_EQ(log_.Err(), test.log);
    // Each event is posted after the log line and the flags it goes with.
    const bool row_posted = !test.log.empty();
    const bool end_posted = !row_posted || test.events.size() == 2;
    std::vector<std::string> moments = {"|connecting"};
    if (row_posted) moments.push_back(test.log + "|" + test.flags);
    if (end_posted) moments.push_back(test.log + "|");
    EXPECT_EQ(Moments(), moments);
    EXPECT_EQ(Flags(), "");
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
  EXPECT_THAT(Moments(), ElementsAre("|connecting", "Server is done\n|connected",
                                     "Server is done\nvpnConnected TRUE\n"
                                     "Terminate vpn was sucessfully\n|"));
  EXPECT_EQ(Flags(), "");
  EXPECT_EQ(Call("vpnConnected", {})->value, flutter::EncodableValue("0"));
  EXPECT_EQ(ChildReport(report).StandardInput(), "yes\n" + user_name + "\n" + password + "\n");
  const std::string application =
      vpn::NativeToUtf8(vpn::ProgramPath(vpn::ExecutableDirectory(), "openconnect"));
  EXPECT_THAT(log_.Out(), HasSubstr(application + "\n"));
}

// A client that failed and goes on running, reconnecting by itself, is ended by the next toggle
// before the new one starts; its end is reported then unless its last event already said so.
TEST_F(OpenConnectWorkerTest, AClientThatFailedButRunsOnIsEndedBeforeTheNextOneStarts) {
  const struct {
    const char* phrase;
    Codes events;  // of the first client, after its Connecting
  } cases[] = {{"Read error on SSL session: closed", Codes{kDisconnected}},
               {"Connect failed: will try again.", Codes{kConnecting, kDisconnected}}};
  ListenOpenConnect();
  for (const auto& test : cases) {
    SCOPED_TRACE(test.phrase);
    StartOver();
    const auto first = NewReportDirectory();
    ToggleOpenConnect(ChildScript().Report(first).Say(test.phrase).RunUntilTerminated().Text());
    ASSERT_TRUE(WaitForChunk(test.phrase));
    EXPECT_EQ(Flags(), "");
    const auto second = NewReportDirectory();
    ToggleOpenConnect(
        ChildScript().Report(second).Say("Using TAP-Windows device").RunUntilTerminated().Text());
    ASSERT_TRUE(WaitUntil(Connected));
    EXPECT_TRUE(WaitUntil([] { return vpn::RunningWorkers() == 1; }))
        << "the first client's worker ended with its client";
    ToggleOpenConnect("stop");
    Settle();  // would wait out the first client's minute, had it been left running

    Codes events = {kConnecting};
    events.insert(events.end(), test.events.begin(), test.events.end());
    events.insert(events.end(), {kConnecting, kConnected, kDisconnected});
    EXPECT_EQ(open_connect_events_->Codes(), events);
    EXPECT_TRUE(ChildReport(second).Exists());
    EXPECT_EQ(Flags(), "");
  }
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
