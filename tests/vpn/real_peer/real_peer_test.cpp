#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "base/scoped_fd_posix.h"
#include "tests/vpn/vpn_test_fixture.h"
#include "vpn/executable_directory.h"
#include "vpn/worker_thread.h"

extern char** environ;

// The VPN side against real peers on 127.0.0.1, driven through the control channel as the UI
// drives it: the OpenConnect worker against Debian's real client and a real ocserv, the Xray
// worker against Debian's real v2ray core. Each is launched through the test adapter beside this
// program (the "openconnect" and "xray" scripts there).
namespace vpn_testing {
namespace {

using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::StartsWith;
using Clock = std::chrono::steady_clock;

// A TCP socket of 127.0.0.1: bound to a free port, which `port` receives (0 on failure), or, with
// `to_port`, connected to `port`; empty on failure.
base::ScopedFd LoopbackSocket(int& port, bool to_port = false) {
  base::ScopedFd socket_fd(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(to_port ? port : 0));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  auto* const raw = reinterpret_cast<sockaddr*>(&address);
  socklen_t size = sizeof(address);
  const bool done = to_port ? connect(socket_fd.Get(), raw, size) == 0
                            : bind(socket_fd.Get(), raw, size) == 0 &&
                                  getsockname(socket_fd.Get(), raw, &size) == 0;
  if (!to_port) port = done ? ntohs(address.sin_port) : 0;
  if (!done) socket_fd.Reset();
  return socket_fd;
}

// A free TCP port on 127.0.0.1, as the system hands one out at this moment.
int FreeLocalPort() {
  int port = 0;
  static_cast<void>(LoopbackSocket(port));
  return port;
}

bool Accepts(int port) { return LoopbackSocket(port, true).IsValid(); }

// The process ids of the children of `parent` called `name`, from /proc/<pid>/stat.
std::vector<pid_t> ChildrenNamed(pid_t parent, const std::string& name) {
  std::vector<pid_t> children;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
    std::ifstream file(entry.path() / "stat");
    std::string stat;
    char found[64] = {};
    pid_t found_parent = 0;
    if (std::isdigit(entry.path().filename().c_str()[0]) && std::getline(file, stat) &&
        std::sscanf(stat.c_str(), "%*d (%63[^)]) %*c %d", found, &found_parent) == 2 &&
        found == name && found_parent == parent) {
      children.push_back(std::atoi(entry.path().filename().c_str()));
    }
  }
  return children;
}

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
    if (pid_ != 0 && kill(-pid_, SIGKILL) == 0) waitpid(pid_, nullptr, 0);
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
  static void TearDownTestSuite() { delete server_; }

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

constexpr char kCore[] = "/usr/bin/v2ray";
constexpr char kBody[] = "served on loopback\n";

// An HTTP proxy on `port` of 127.0.0.1 that sends everything out directly.
std::string ProxyConfiguration(int port, const std::string& tag = "proxy") {
  return R"({"log":{"loglevel":"warning"},"inbounds":[{"tag":")" + tag +
         R"(","listen":"127.0.0.1","port":)" + std::to_string(port) +
         R"(,"protocol":"http"}],"outbounds":[{"protocol":"freedom"}]})";
}

// The cores this program runs: the adapter becomes the core, a child of this process, and stays
// so until its worker has waited for it.
int Cores() { return static_cast<int>(ChildrenNamed(getpid(), "v2ray").size()); }

// What `connection` receives until `end` has come, the peer stops sending or a read times out.
std::string ReceiveUntil(const base::ScopedFd& connection, const std::string& end) {
  std::string received;
  char buffer[4096];
  ssize_t size = 0;
  while (received.find(end) == std::string::npos &&
         (size = recv(connection.Get(), buffer, sizeof(buffer), 0)) > 0) {
    received.append(buffer, static_cast<size_t>(size));
  }
  return received;
}

void Send(const base::ScopedFd& connection, const std::string& bytes) {
  send(connection.Get(), bytes.data(), bytes.size(), MSG_NOSIGNAL);
}

// An HTTP server on a free port of 127.0.0.1, on a thread of its own, that answers every request
// with 200 and kBody.
class LoopbackServer {
 public:
  LoopbackServer() {
    if (listen(listener_.Get(), 8) == 0) thread_ = std::thread([this] { Serve(); });
  }
  ~LoopbackServer() {
    shutdown(listener_.Get(), SHUT_RDWR);  // ends the accept the thread waits in
    if (thread_.joinable()) thread_.join();
  }
  int port() const { return thread_.joinable() ? port_ : 0; }

 private:
  void Serve() const {
    for (;;) {
      const base::ScopedFd client(accept4(listener_.Get(), nullptr, nullptr, SOCK_CLOEXEC));
      if (!client.IsValid()) return;
      ReceiveUntil(client, "\r\n\r\n");
      Send(client, "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(sizeof(kBody) - 1) +
                       "\r\nConnection: close\r\n\r\n" + kBody);
    }
  }

  int port_ = 0;
  const base::ScopedFd listener_ = LoopbackSocket(port_);
  std::thread thread_;
};

// Connects to `port` and asks for the server's page by its full address, as one asks a proxy;
// the answer up to the server's body.
std::string Get(int port, int server_port) {
  const base::ScopedFd connection = LoopbackSocket(port, true);
  const timeval timeout{10, 0};
  setsockopt(connection.Get(), SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof(timeout));
  const std::string host = "127.0.0.1:" + std::to_string(server_port);
  Send(connection,
       "GET http://" + host + "/ HTTP/1.1\r\nHost: " + host + "\r\nConnection: close\r\n\r\n");
  return ReceiveUntil(connection, kBody);  // nothing when the connection failed
}

double MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Prints the first and the median round trip of 21 requests to `port` for the server's page.
void PrintRoundTrips(const char* what, int port, int server_port) {
  std::vector<double> times;
  for (int i = 0; i < 21; ++i) {
    const auto sent = Clock::now();
    EXPECT_THAT(Get(port, server_port), EndsWith(kBody));
    times.push_back(MillisecondsSince(sent));
  }
  const double first = times.front();
  std::sort(times.begin(), times.end());
  std::cout << "[ figures  ] " << what << ": " << first << " ms the first, " << times[10]
            << " ms the median of 21\n";
}

class RealCoreTest : public VpnTest {
 protected:
  void SetUp() override {
    if (access(kCore, X_OK) != 0) {
      GTEST_SKIP() << kCore << " is not installed (scripts/setup installs the v2ray package)";
    }
    VpnTest::SetUp();
    ListenXray();
    unsetenv("XRAY_ADAPTER_RECORD");  // what the core receives is saved by one case only
  }

  // Starts the core with `configuration` and waits until it reports its start.
  [[nodiscard]] bool Start(const std::string& configuration) {
    const size_t before = Events().size();
    ToggleXray(configuration);
    return xray_events_->WaitForCount(before + 3);
  }
  Codes Events() const { return xray_events_->Codes(); }
};

TEST_F(RealCoreTest, CarriesARequestUntilTheNextToggle) {
  const LoopbackServer server;
  ASSERT_NE(server.port(), 0);
  const int port = FreeLocalPort();
  const auto toggled = Clock::now();
  ASSERT_TRUE(Start(ProxyConfiguration(port))) << log_.Out();
  const double to_started = MillisecondsSince(toggled);
  EXPECT_THAT(Events(), ElementsAre(kStarting, kProxyOn, kStarted));
  EXPECT_EQ(Cores(), 1);

  const std::string answer = Get(port, server.port());
  EXPECT_THAT(answer, StartsWith("HTTP/1.1 200 "));
  EXPECT_THAT(answer, EndsWith(kBody));
  std::cout << std::fixed << std::setprecision(2)
            << "[ figures  ] toggle to Started (61): " << to_started << " ms\n";
  PrintRoundTrips("GET through the core", port, server.port());
  PrintRoundTrips("GET straight to the server", server.port(), server.port());

  ToggleXray("");
  Settle();
  EXPECT_THAT(Events(), ElementsAre(kStarting, kProxyOn, kStarted, kProxyOff, kStopped));
  EXPECT_FALSE(Accepts(port));
  EXPECT_EQ(Cores(), 0);
}

// The core refuses it and ends by itself: the end is reported once, and the next toggle starts.
TEST_F(RealCoreTest, AMalformedConfigurationEndsTheCoreAndTheNextToggleStartsAnew) {
  ToggleXray(R"({"inbounds": [)");
  Settle();
  EXPECT_THAT(Events(), ElementsAre(kStarting, kProxyOn, kProxyOff, kStopped));
  EXPECT_THAT(log_.Out(), HasSubstr("failed to read config file"));
  EXPECT_EQ(Flags(), "");
  EXPECT_EQ(Cores(), 0);

  const int port = FreeLocalPort();
  ASSERT_TRUE(Start(ProxyConfiguration(port))) << log_.Out();
  EXPECT_TRUE(Accepts(port));
  ToggleXray("");
  Settle();
  EXPECT_THAT(Events(), ElementsAre(kStarting, kProxyOn, kProxyOff, kStopped, kStarting, kProxyOn,
                                    kStarted, kProxyOff, kStopped));
  EXPECT_EQ(Cores(), 0);
}

TEST_F(RealCoreTest, TheConfigurationReachesTheCoreByteForByte) {
  const std::filesystem::path received = scratch_ / "received";
  setenv("XRAY_ADAPTER_RECORD", Utf8(received).c_str(), 1);
  // Quotes, backslashes, spaces and UTF-8 in a name the core accepts as it is.
  const std::string configuration =
      ProxyConfiguration(FreeLocalPort(), "a \\\"quoted\\\" tag \\\\ \xC3\xBC \xE2\x82\xAC");
  ASSERT_TRUE(Start(configuration)) << log_.Out();
  ToggleXray("");
  Settle();
  std::ifstream file(received, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()),
            configuration + "\n");
  EXPECT_THAT(Events(), ElementsAre(kStarting, kProxyOn, kStarted, kProxyOff, kStopped));
}

}  // namespace
}  // namespace vpn_testing
