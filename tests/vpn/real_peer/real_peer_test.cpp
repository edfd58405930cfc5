#include <memory>
#include <string>

#include "tests/vpn/real_peer/ocserv_server.h"
#include "tests/vpn/vpn_test_fixture.h"
#include "vpn/executable_directory.h"
#include "vpn/worker_thread.h"

// The VPN side against Debian's real OpenConnect client and a real ocserv on 127.0.0.1, driven
// through the control channel as the UI drives it. The client is launched through the test
// adapter beside this program (see the "openconnect" script there).
namespace vpn_testing {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

class RealPeerTest : public VpnTest {
 protected:
  static void SetUpTestSuite() {
    skip_reason_ = new std::string(WhyNoServerCanRun());
    if (!skip_reason_->empty()) return;
    const std::filesystem::path here(vpn::ExecutableDirectory());
    server_ = new OcservServer(here / "start_ocserv",
                               std::filesystem::temp_directory_path() /
                                   ("quorvanta-ocserv-" + std::to_string(FreeLocalPort())));
  }
  static void TearDownTestSuite() {
    delete server_;
    server_ = nullptr;
    delete skip_reason_;
  }

  void SetUp() override {
    if (!skip_reason_->empty()) GTEST_SKIP() << *skip_reason_;
    ASSERT_TRUE(server_->IsListening()) << server_->failure();
    VpnTest::SetUp();
    ListenOpenConnect();
  }

  void Connect(const std::string& password = "secret") {
    ToggleOpenConnect(server_->Address(), "tester", password);
  }
  Codes Events() const { return open_connect_events_->Codes(); }
  std::string VpnConnected() { return std::get<std::string>(Call("vpnConnected", {})->value); }
  // Waits until the stream has shown `count` events.
  [[nodiscard]] bool WaitForEvents(size_t count) {
    return open_connect_events_->WaitForCount(count);
  }

  static inline std::string* skip_reason_ = nullptr;
  static inline OcservServer* server_ = nullptr;
};

TEST_F(RealPeerTest, ConnectsAndStops) {
  Connect();
  ASSERT_TRUE(WaitUntil(Connected)) << log_.Out();
  EXPECT_EQ(VpnConnected(), "1");
  ToggleOpenConnect("stop");
  Settle();  // the worker ends only once the client is gone
  EXPECT_THAT(Events(), ElementsAre(kConnecting, kConnected, kDisconnected));
  EXPECT_EQ(VpnConnected(), "0");
  EXPECT_THAT(server_->Log(), HasSubstr("initiating session for user 'tester'"));
  EXPECT_TRUE(WaitUntil([] { return server_->Log().find("closing session") != std::string::npos; }))
      << "the server saw the client go";
}

TEST_F(RealPeerTest, AWrongPasswordIsReportedAsDisconnected) {
  Connect("wrong");
  Settle();
  EXPECT_THAT(Events(), ElementsAre(kConnecting, kDisconnected));
  EXPECT_THAT(log_.Err(), HasSubstr("Faild to connect to the server\n"));
  EXPECT_EQ(Flags(), "");
}

TEST_F(RealPeerTest, NothingListeningIsReportedAsDisconnected) {
  ToggleOpenConnect("127.0.0.1:" + std::to_string(FreeLocalPort()));
  Settle();
  EXPECT_THAT(Events(), ElementsAre(kConnecting, kDisconnected));
  EXPECT_EQ(Flags(), "");
}

// The client reports the dropped session and reconnects by itself; the next toggle must end that
// client before it connects anew, not leave it running beside a second one.
TEST_F(RealPeerTest, AfterADroppedSessionTheNextToggleEndsTheOldClientAndConnectsAnew) {
  Connect();
  ASSERT_TRUE(WaitUntil(Connected)) << log_.Out();
  ASSERT_EQ(server_->DropSessions(), 1);
  ASSERT_TRUE(WaitForEvents(3)) << log_.Out();
  EXPECT_THAT(log_.Err(), HasSubstr("Faild to connection\n"));
  EXPECT_EQ(VpnConnected(), "0");
  EXPECT_EQ(vpn::RunningWorkers(), 1) << "the old client goes on";

  Connect();
  ASSERT_TRUE(WaitUntil(Connected)) << log_.Out();
  EXPECT_TRUE(WaitUntil([] { return vpn::RunningWorkers() == 1; })) << "the old client is gone";
  ToggleOpenConnect("stop");
  Settle();
  EXPECT_THAT(Events(), ElementsAre(kConnecting, kConnected, kDisconnected, kConnecting, kConnected,
                                    kDisconnected));
}

TEST_F(RealPeerTest, ADoubleToggleEndsWithNoClient) {
  Connect();
  ToggleOpenConnect("stop");
  Settle();
  EXPECT_THAT(Events(), ElementsAre(kConnecting, kDisconnected));
  EXPECT_EQ(VpnConnected(), "0");
}

}  // namespace
}  // namespace vpn_testing
