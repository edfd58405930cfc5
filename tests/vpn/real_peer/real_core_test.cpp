#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "tests/vpn/real_peer/loopback.h"
#include "tests/vpn/vpn_test_fixture.h"

// The Xray worker against Debian's real v2ray core, driven through the control channel as the UI
// drives it. The core is launched through the test adapter beside this program (see the "xray"
// script there); all traffic stays on 127.0.0.1.
namespace vpn_testing {
namespace {

using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::StartsWith;
using Clock = std::chrono::steady_clock;

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
  const base::ScopedFd listener_ = BindFreeLocalPort(port_);
  std::thread thread_;
};

// Connects to `port` and asks for the server's page by its full address, as one asks a proxy;
// the answer up to the server's body.
std::string Get(int port, int server_port) {
  const base::ScopedFd connection = Connect(port);
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
  }
  void TearDown() override {
    VpnTest::TearDown();
    unsetenv("XRAY_ADAPTER_RECORD");
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
