#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/environment.h"
#include "tests/vpn/vpn_test_fixture.h"
#include "vpn/executable_directory.h"
#include "vpn/worker_thread.h"

// Each worker with a real stand-in child: the dialogue as a whole, the child's own end and the
// stop paths. What each single chunk does is in phrase_table_test.cpp.
namespace vpn_testing {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::HasSubstr;

using WorkerTest = VpnTest;

// The client asks for the certificate, the user name and the password, connects, loses its
// session and runs on; the next toggle ends it before a second client connects, and the toggle
// after that stops the second.
TEST_F(WorkerTest, OpenConnectAnswersConnectsFailsAndIsReplacedAndStopped) {
  ListenOpenConnect();
  const auto report = NewReportDirectory();
  const std::string user_name = "j\xC3\xBCrgen";  // non-ASCII, written byte for byte
  const std::string password = "p@ss w0rd\t!";
  ChildScript script;
  script.Report(report).Say("Certificate unknown.\nEnter 'yes' to accept, 'no' to abort").Ask();
  script.Say("Username:").Ask().Say("Password:").Ask().Say("Using TAP-Windows device");
  script.Await(report / "fail").Say("Read error on SSL session").RunUntilTerminated();
  // A last step the child never reaches: the server must reach it as exactly one argument.
  const std::string server = script.Text() + R"(,note="two words" \)";
  ToggleOpenConnect(server, user_name, password);
  ASSERT_TRUE(open_connect_events_->WaitForCount(2));  // Connected posted, so its moment is taken
  EXPECT_EQ(Call("vpnConnected", {})->value, flutter::EncodableValue("1"));
  Release(report / "fail");
  ASSERT_TRUE(open_connect_events_->WaitForCount(3));
  ToggleOpenConnect(ChildScript().Say("Using TAP-Windows device").RunUntilTerminated().Text());
  ASSERT_TRUE(WaitUntil(Connected));
  EXPECT_TRUE(WaitUntil([] { return vpn::RunningWorkers() == 1; })) << "the first client is gone";
  ToggleOpenConnect("stop");
  Settle();  // would wait out the first client's minute, had it been left running

  EXPECT_THAT(open_connect_events_->Codes(), ElementsAre(kConnecting, kConnected, kDisconnected,
                                                         kConnecting, kConnected, kDisconnected));
  const std::string failed = "Server is done\nvpnConnected TRUE\nFaild to connection\n";
  EXPECT_THAT(Moments(), ElementsAre("|connecting", "Server is done\n|connected", failed + "|",
                                     failed + "|connecting", failed + "Server is done\n|connected",
                                     failed + "Server is done\nTerminate vpn was sucessfully\n|"));
  const ChildReport child(report);
  EXPECT_EQ(child.StandardInput(), "yes\n" + user_name + "\n" + password + "\n");
  EXPECT_THAT(child.Arguments(), ElementsAre("--allow-insecure-crypto", server));
  const std::string application =
      vpn::NativeToUtf8(vpn::ProgramPath(vpn::ExecutableDirectory(), "openconnect"));
  EXPECT_THAT(log_.Out(), HasSubstr(application + "\n"));
}

// The configuration is the whole command line and is written when asked for; the proxy is asked
// off before the termination, and the flags are cleared before Stopped. Only OpenConnect sets
// connected. The core runs in the program's folder and inherits its environment, where its
// assets are named.
TEST_F(WorkerTest, XrayIsGivenItsConfigurationAndStopsOnTheNextToggle) {
  ListenXray();
  testing_support::SetEnvironmentEntry("xray.location.asset", "C:\\assets");
  const auto report = NewReportDirectory();
  const std::string script = ChildScript()
                                 .Report(report)
                                 .Say("Reading config: stdin:")
                                 .Ask()
                                 .Say("[Warning] core: Xray 1.8.4 started")
                                 .RunUntilTerminated()
                                 .Text();
  const std::string configuration = script + ", {\"log\": 1}";
  ToggleXray(configuration);
  ASSERT_TRUE(xray_events_->WaitForCount(3));
  ToggleXray("stop");
  Settle();

  EXPECT_THAT(xray_events_->Codes(),
              ElementsAre(kStarting, kProxyOn, kStarted, kProxyOff, kStopped));
  const std::string started = "Reading config: stdin:\nWriting config to stdin\n" + configuration +
                              "\n[Warning] core: Xray 1.8.4 started\n";
  const std::string stopping = started + "Disabling Proxy\n";
  EXPECT_THAT(Moments(),
              ElementsAre("|connecting", "|connecting", started + "|connecting",
                          stopping + "|connecting", stopping + "Terminate vpn was sucessfully\n|"));
  const ChildReport child(report);
  EXPECT_EQ(child.StandardInput(), configuration + "\n");
  EXPECT_THAT(child.Arguments(), ElementsAre(script + ",", "{log:", "1}"));
  EXPECT_EQ(child.WorkingDirectory(), vpn::NativeToUtf8(vpn::ExecutableDirectory()));
  EXPECT_THAT(child.Environment(), Contains("xray.location.asset=C:\\assets"));
}

// A child that ends by itself: its end is reported once, as far as the stream has not said it
// yet, after both flags are cleared. Xray's chunks are logged, and its end asks the proxy off.
TEST_F(WorkerTest, AChildsOwnEndIsReportedOnce) {
  const std::filesystem::path path(vpn::FilePath(vpn::ExecutableDirectory(), "c.json"));
  const std::string file = Utf8(path);
  const std::string deleted = "File Deleted: " + file + "\n";
  const struct {
    std::string says;
    Codes events;
    std::string log;  // the configuration file exists where its deletion is logged
  } cases[] = {
      {"Using TAP-Windows device", {kConnecting, kConnected, kDisconnected}, "Server is done\n"},
      {"SSL Read error", {kConnecting, kDisconnected}, "Faild to connection\n"},
      {"", {kConnecting, kDisconnected}, ""},
      {"[Warning] core: Xray started", {kStarting, kProxyOn, kStarted, kProxyOff, kStopped}, ""},
      {"failed to load config files", {kStarting, kProxyOn, kStopped, kProxyOff}, deleted},
      {"failed to load config files",
       {kStarting, kProxyOn, kStopped, kProxyOff},
       "Failed to delete file: " + file + "\n"},
      {"", {kStarting, kProxyOn, kProxyOff, kStopped}, ""},
  };
  ListenOpenConnect();
  ListenXray();
  for (const auto& test : cases) {
    SCOPED_TRACE(test.says + test.log);
    StartOver();
    if (test.log == deleted) std::ofstream(path) << "{}";
    ChildScript script;
    if (!test.says.empty()) script.Say(test.says);
    script.Finish();  // the child's input must end before it does
    const bool open_connect = test.events.front() == kConnecting;
    open_connect ? ToggleOpenConnect(script.Text()) : ToggleXray(script.Text());
    Settle();
    EXPECT_EQ((open_connect ? open_connect_events_ : xray_events_)->Codes(), test.events);
    EXPECT_EQ(log_.Err(), open_connect ? test.log
                                       : (test.says.empty() ? "" : test.says + "\n") + test.log +
                                             "Disabling Proxy\n");
    const std::vector<std::string> moments = Moments();
    ASSERT_FALSE(moments.empty());
    EXPECT_THAT(moments.back(), EndsWith("|"));
    EXPECT_EQ(Flags(), "");
    EXPECT_FALSE(std::filesystem::exists(path));
  }
}

// Each kind takes its own stop path while the other kind's start left connecting set: OpenConnect
// finds no child of its own and changes nothing, Xray still asks the proxy off and clears both.
TEST_F(WorkerTest, AStopWithoutAChildOfItsKindFailsAsEachKindPrescribes) {
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
  EXPECT_EQ(log_.Err(), "Terminate vpn was failed\nDisabling Proxy\nTerminate vpn was failed\n");
  EXPECT_EQ(Flags(), "");
}

}  // namespace
}  // namespace vpn_testing
