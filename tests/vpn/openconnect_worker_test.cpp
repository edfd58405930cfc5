#include <algorithm>
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
using ::testing::Not;

constexpr int32_t kConnecting = 4;
constexpr int32_t kConnected = 5;
constexpr int32_t kDisconnected = 6;

bool Connected() { return vpn::GetVpnState().connected; }
bool Connecting() { return vpn::GetVpnState().connecting; }

struct RowCase {
  const char* chunk;
  const char* log_line;
  int32_t event;
  bool connected_after;
};

class OpenConnectRowTest : public VpnTest, public ::testing::WithParamInterface<RowCase> {};

TEST_P(OpenConnectRowTest, LogsPostsAndSetsFlagsInOrder) {
  const RowCase& row = GetParam();
  ListenOpenConnect();
  const auto report = NewReportDirectory();
  ToggleOpenConnect(ChildScript().Report(report).Say(row.chunk).Finish().Text());
  Settle();

  EXPECT_THAT(open_connect_events_->Codes(), ElementsAre(kConnecting, row.event));
  EXPECT_EQ(log_.Err(), std::string(row.log_line) + "\n");
  EXPECT_EQ(Connected(), row.connected_after);
  EXPECT_FALSE(Connecting());
  EXPECT_EQ(ChildReport(report).StandardInput(), "") << "nothing is written for these rows";
  EXPECT_THAT(WorkerOut(), HasSubstr(std::string(row.chunk) + "while acting\n"));
}

INSTANTIATE_TEST_SUITE_P(
    PhraseTable, OpenConnectRowTest,
    ::testing::Values(
        RowCase{"Using TAP-Windows device '{x}' Password:", "Server is done", kConnected, true},
        RowCase{"Connect failed: will try again.", "Reconnecting", kConnecting, false},
        RowCase{"SSL Read error; failed: x", "Faild to connection", kDisconnected, false},
        RowCase{"Failed to reconnect to host", "Faild to reconnection", kDisconnected, false},
        RowCase{"Server certificate verify failed: certificate does not match SNI",
                "Faild to reconnection", kDisconnected, false},
        RowCase{"Failed to complete authentication", "Faild to connect to the server",
                kDisconnected, false},
        RowCase{"Connection timeout", "Timeout to reconnection", kDisconnected, false}));

using OpenConnectWorkerTest = VpnTest;

TEST_F(OpenConnectWorkerTest, AnswersThePromptsConnectsAndStopsOnTheNextToggle) {
  ListenOpenConnect();
  const auto report = NewReportDirectory();
  const std::string user_name = "j\xC3\xBCrgen";  // non-ASCII, written byte for byte
  const std::string password = "p@ss w0rd\t!";
  ToggleOpenConnect(ChildScript()
                        .Report(report)
                        .Say("Server certificate unknown.\nEnter 'yes' to accept, 'no' to abort")
                        .Ask()
                        .Say("Username:")
                        .Ask()
                        .Say("Password:")
                        .Ask()
                        .Say("Using TAP-Windows device")
                        .RunUntilTerminated()
                        .Text(),
                    user_name, password);
  ASSERT_TRUE(open_connect_events_->WaitForCount(2));
  EXPECT_THAT(open_connect_events_->Codes(), ElementsAre(kConnecting, kConnected));
  // The flags follow the event.
  ASSERT_TRUE(WaitUntil(Connected));
  EXPECT_FALSE(Connecting());
  EXPECT_EQ(Call("vpnConnected", {})->value, flutter::EncodableValue("1"));

  ToggleOpenConnect("a stop request needs no server");
  Settle();
  EXPECT_THAT(open_connect_events_->Codes(), ElementsAre(kConnecting, kConnected, kDisconnected));
  EXPECT_EQ(log_.Err(), "Server is done\nvpnConnected TRUE\nTerminate vpn was sucessfully\n");
  EXPECT_FALSE(Connected());
  EXPECT_FALSE(Connecting());
  EXPECT_EQ(Call("vpnConnected", {})->value, flutter::EncodableValue("0"));
  EXPECT_EQ(ChildReport(report).StandardInput(), "yes\n" + user_name + "\n" + password + "\n");
  const std::string application =
      vpn::NativeToUtf8(vpn::ProgramPath(vpn::ExecutableDirectory(), "openconnect"));
  EXPECT_THAT(WorkerOut(), HasSubstr(application + "\nwhile acting\n"));
  EXPECT_THAT(WorkerOut(), HasSubstr("Using TAP-Windows devicewhile acting\n"));
  EXPECT_THAT(WorkerOut(), HasSubstr("Error to read from running console\n"));
  EXPECT_FALSE(vpn::GetVpnState().openConnectProcess.HasLiveChild());
}

TEST_F(OpenConnectWorkerTest, OnlyTheFirstMatchingRowOfAChunkActs) {
  ListenOpenConnect();
  const auto report = NewReportDirectory();
  ToggleOpenConnect(ChildScript().Report(report).Say("Username: Password:").Finish().Text());
  Settle();
  EXPECT_EQ(ChildReport(report).StandardInput(), "user\n");
  EXPECT_THAT(open_connect_events_->Codes(), ElementsAre(kConnecting));
  EXPECT_TRUE(Connecting()) << "prompts leave the flags alone";
}

TEST_F(OpenConnectWorkerTest, PhrasesCutByAReadOrInAnotherCaseMatchNothing) {
  ListenOpenConnect();
  ToggleOpenConnect(ChildScript()
                        .Say("Using TAP-Win")
                        .Sleep(300)
                        .Say("dows device")
                        .Sleep(300)
                        .Say("Timeout reached")
                        .Sleep(300)
                        .Say("failed: for good")
                        .Finish()
                        .Text());
  Settle();
  EXPECT_THAT(open_connect_events_->Codes(), ElementsAre(kConnecting));
  EXPECT_EQ(log_.Err(), "");
  EXPECT_TRUE(Connecting());
  EXPECT_FALSE(Connected());
}

TEST_F(OpenConnectWorkerTest, APhraseAfterALargeBurstIsRecognised) {
  ListenOpenConnect();
  ToggleOpenConnect(
      ChildScript().Burst(3 * 4096 + 100, "").Sleep(200).Say("Using TAP-Windows device").Text());
  Settle();
  EXPECT_THAT(open_connect_events_->Codes(), ElementsAre(kConnecting, kConnected));
  const std::string out = log_.Out();
  EXPECT_EQ(std::count(out.begin(), out.end(), '#'), 3 * 4096 + 100) << "every byte is echoed";
}

TEST_F(OpenConnectWorkerTest, WithoutAListenerASecondToggleLaunchesASecondChild) {
  const auto first = NewReportDirectory();
  const auto second = NewReportDirectory();
  ToggleOpenConnect(ChildScript().Report(first).Sleep(1500).Text());
  ToggleOpenConnect(ChildScript().Report(second).Finish().Text());
  Settle();
  EXPECT_TRUE(ChildReport(first).Exists());
  EXPECT_TRUE(ChildReport(second).Exists());
  EXPECT_FALSE(Connecting());
  EXPECT_THAT(log_.Err(), Not(HasSubstr("Terminate")));
}

TEST_F(OpenConnectWorkerTest, AfterReconnectingTheNextToggleLaunchesAnotherChild) {
  ListenOpenConnect();
  const auto second = NewReportDirectory();
  ToggleOpenConnect(ChildScript().Say("failed: please try again.").Sleep(1500).Text());
  ASSERT_TRUE(open_connect_events_->WaitForCount(2));
  ASSERT_TRUE(WaitUntil([] { return !Connecting(); }));
  ToggleOpenConnect(ChildScript().Report(second).Finish().Text());
  Settle();
  EXPECT_THAT(open_connect_events_->Codes(), ElementsAre(kConnecting, kConnecting, kConnecting));
  EXPECT_TRUE(ChildReport(second).Exists());
  EXPECT_EQ(log_.Err(), "Reconnecting\n");
}

TEST_F(OpenConnectWorkerTest, AStopWithoutAnOpenConnectChildChangesNothing) {
  ListenOpenConnect();
  vpn::GetVpnState().connecting = true;  // as an Xray start announced to a listener leaves it
  ToggleOpenConnect(ChildScript().Report(NewReportDirectory()).Text());
  Settle();
  EXPECT_EQ(log_.Err(), "Terminate vpn was failed\n");
  EXPECT_THAT(open_connect_events_->Codes(), ElementsAre());
  EXPECT_TRUE(Connecting());
}

TEST_F(OpenConnectWorkerTest, AChildThatEndedByItselfIsNotStoppedButReplaced) {
  ListenOpenConnect();
  ToggleOpenConnect(ChildScript().Say("Using TAP-Windows device").Text());
  Settle();
  ASSERT_TRUE(Connected());
  const auto report = NewReportDirectory();
  ToggleOpenConnect(ChildScript().Report(report).Finish().Text());
  Settle();
  EXPECT_TRUE(ChildReport(report).Exists()) << "a closed child counts as none";
  EXPECT_THAT(log_.Err(), Not(HasSubstr("Terminate")));
}

TEST_F(OpenConnectWorkerTest, TheServerReachesTheChildAsExactlyOneArgument) {
  for (const std::string tail : {"", ",note=two words", ",note=\"quoted\" and \\\"escaped\\\\",
                                 ",note=trailing backslash\\"}) {
    const auto report = NewReportDirectory();
    const std::string server = ChildScript().Report(report).Finish().Text() + tail;
    ToggleOpenConnect(server);
    Settle();
    const ChildReport child(report);
    EXPECT_THAT(child.Arguments(), ElementsAre("--allow-insecure-crypto", server));
    if (kWindows) {
      EXPECT_EQ(child.RawCommandLine(), vpn::NativeToUtf8(vpn::OpenConnectCommandLine(server)));
      if (tail.empty()) {
        EXPECT_EQ(child.RawCommandLine(), "--allow-insecure-crypto " + server)
            << "a plain server is not quoted";
      }
    }
  }
}

}  // namespace
}  // namespace vpn_testing
