#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <memory>
#include <string>

#include "tests/vpn/real_peer/loopback.h"
#include "tests/vpn/vpn_test_fixture.h"
#include "vpn/executable_directory.h"
#include "vpn/worker_thread.h"

extern char** environ;

// The VPN side against Debian's real OpenConnect client and a real ocserv on 127.0.0.1, driven
// through the control channel as the UI drives it. The client is launched through the test
// adapter beside this program (see the "openconnect" script there).
namespace vpn_testing {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

// A real ocserv on a free port of 127.0.0.1 with a self-signed certificate and the user "tester"
// (password "secret"), prepared and started by the start_ocserv script beside this program in a
// folder of its own. It runs in its own process group, so that its helpers and session processes
// are stopped with it by its process id, and its folder is removed, when this object goes.
class OcservServer {
 public:
  OcservServer() {
    std::filesystem::create_directories(folder_);
    const std::string start =
        Utf8(std::filesystem::path(vpn::ExecutableDirectory()) / "start_ocserv");
    const std::string port = std::to_string(port_);
    char* const argv[] = {const_cast<char*>(start.c_str()), const_cast<char*>(folder_.c_str()),
                          const_cast<char*>(port.c_str()), nullptr};
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    if (posix_spawn(&pid_, start.c_str(), nullptr, &attributes, argv, environ) != 0) pid_ = 0;
    posix_spawnattr_destroy(&attributes);
    bool ended = pid_ == 0;
    if (!WaitUntil([&] { return Accepts(port_) || (ended = ended || Reap()); })) {
      failure_ = "ocserv did not listen on port " + port + " within 20 s:\n" + Log();
    } else if (ended) {
      pid_ = 0;
      failure_ = "ocserv ended at start:\n" + Log();
    }
  }
  ~OcservServer() {
    if (pid_ != 0) {
      kill(-pid_, SIGTERM);
      if (!WaitUntil([this] { return Reap(); }, std::chrono::seconds(5))) {
        kill(-pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
      }
    }
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }

  // Empty when it accepts connections, otherwise why not.
  const std::string& failure() const { return failure_; }
  // "127.0.0.1:<port>", as the client takes its server.
  std::string Address() const { return "127.0.0.1:" + std::to_string(port_); }
  // Everything the server has logged.
  std::string Log() const {
    std::ifstream log(folder_ / "server.log");
    return std::string((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
  }
  // Kills the server process of every live session, as a crash on the server's side would; the
  // number of sessions dropped.
  int DropSessions() const {
    int dropped = 0;
    for (const pid_t session : ChildrenNamed(pid_, "ocserv-worker")) {
      dropped += kill(session, SIGKILL) == 0 ? 1 : 0;
    }
    return dropped;
  }

 private:
  bool Reap() const { return waitpid(pid_, nullptr, WNOHANG) != 0; }

  const int port_ = FreeLocalPort();
  const std::filesystem::path folder_ =
      std::filesystem::temp_directory_path() / ("quorvanta-ocserv-" + std::to_string(port_));
  pid_t pid_ = 0;
  std::string failure_;
};

class RealPeerTest : public VpnTest {
 protected:
  static void SetUpTestSuite() {
    // ocserv needs root and a tunnel device.
    if (geteuid() != 0) {
      skip_reason_ = "ocserv needs root to run";
    } else if (access("/dev/net/tun", R_OK | W_OK) != 0) {
      skip_reason_ = "ocserv needs /dev/net/tun, which this machine does not offer";
    } else {
      server_ = new OcservServer();
    }
  }
  static void TearDownTestSuite() {
    delete server_;
    server_ = nullptr;
  }

  void SetUp() override {
    if (server_ == nullptr) GTEST_SKIP() << skip_reason_;
    ASSERT_EQ(server_->failure(), "");
    VpnTest::SetUp();
    ListenOpenConnect();
  }

  void Connect(const std::string& password = "secret") {
    ToggleOpenConnect(server_->Address(), "tester", password);
  }
  Codes Events() const { return open_connect_events_->Codes(); }
  std::string VpnConnected() { return std::get<std::string>(Call("vpnConnected", {})->value); }

  static inline const char* skip_reason_ = "";
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
  ASSERT_TRUE(open_connect_events_->WaitForCount(3)) << log_.Out();
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
