#include <atomic>
#include <chrono>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/process_stats.h"
#include "tests/vpn/vpn_test_fixture.h"
#include "vpn/event_streams.h"
#include "vpn/vpn_state.h"

namespace vpn_testing {
namespace {

using testing_support::OpenHandleCount;
using testing_support::ThreadCount;

class LeakAndStressTest : public VpnTest {
 protected:
  // One OpenConnect connection that is stopped, one that fails by itself, one Xray connection
  // that is stopped.
  static bool Idle() { return !vpn::GetVpnState().connected && !vpn::GetVpnState().connecting; }

  void ConnectionCycle() {
    size_t open_connect = open_connect_events_->Codes().size();
    size_t xray = xray_events_->Codes().size();
    ToggleOpenConnect(ChildScript().Say("Using TAP-Windows device").RunUntilTerminated().Text());
    ASSERT_TRUE(open_connect_events_->WaitForCount(open_connect += 2));
    ASSERT_TRUE(WaitUntil([] { return bool(vpn::GetVpnState().connected); }));
    ToggleOpenConnect("stop");
    ASSERT_TRUE(open_connect_events_->WaitForCount(open_connect += 1));
    ASSERT_TRUE(WaitUntil(Idle));
    ToggleOpenConnect(ChildScript().Say("SSL Read error").Text());
    ASSERT_TRUE(open_connect_events_->WaitForCount(open_connect += 2));
    ASSERT_TRUE(WaitUntil(Idle));
    ToggleXray(ChildScript().Say("[Warning] core: Xray started").RunUntilTerminated().Text());
    ASSERT_TRUE(xray_events_->WaitForCount(xray += 3));
    ToggleXray("stop");
    ASSERT_TRUE(xray_events_->WaitForCount(xray += 2));
    Settle();
  }

  // Detached threads leave a moment after their last step; give them that moment.
  static int SettledThreadCount(int expected) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (ThreadCount() > expected && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return ThreadCount();
  }
};

TEST_F(LeakAndStressTest, ManyConnectionCyclesLeaveNoThreadOrHandleBehind) {
  ListenOpenConnect();
  ListenXray();
  ConnectionCycle();  // first use sets up what lives for the whole process
  const int threads = SettledThreadCount(0);
  const int handles = OpenHandleCount();
  for (int i = 0; i < 20; ++i) {
    ConnectionCycle();
    if (HasFatalFailure()) {
      return;
    }
  }
  EXPECT_EQ(SettledThreadCount(threads), threads);
  EXPECT_EQ(OpenHandleCount(), handles);
}

// Toggles of both kinds, queries, events posted without pause, and listeners cancelling and
// listening again on the platform thread, all at once. The run must end with every worker gone;
// the sanitizers watch that no sink is used after it was destroyed, and all the rest.
TEST_F(LeakAndStressTest, TogglesOfBothKindsWhileListenersComeAndGo) {
  std::atomic<bool> churning{true};
  std::vector<std::thread> threads;
  threads.emplace_back([this, &churning] {
    for (int i = 0; churning; ++i) {
      static_cast<void>(platform_->PostTask([this, i] {
        if (i % 2 == 0) {
          ListenOpenConnect();
          static_cast<void>(vpn::OnCancel(vpn::EventStream::kXray, nullptr));
        } else {
          ListenXray();
          static_cast<void>(vpn::OnCancel(vpn::EventStream::kOpenConnect, nullptr));
        }
      }));
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  });
  for (const vpn::EventStream stream : {vpn::EventStream::kOpenConnect, vpn::EventStream::kXray}) {
    threads.emplace_back([&churning, stream] {
      while (churning) vpn::PostEvent(stream, 7);
    });
  }

  std::mt19937 random(7);
  const std::string open_connect_scripts[] = {
      ChildScript().Say("Using TAP-Windows device").Sleep(150).Text(),
      ChildScript().Say("Username:").Ask().Say("Password:").Ask().Say("Read error").Text(),
      ChildScript().Say("failed: try again.").Sleep(50).Say("timeout").Text(),
  };
  const std::string xray_scripts[] = {
      ChildScript().Say("stdin:").Ask().Say("[Warning] core: Xray started").Sleep(150).Text(),
      ChildScript().Say("failed to load config files").Text(),
  };
  for (int i = 0; i < 60; ++i) {
    if (random() % 2 == 0) {
      ToggleOpenConnect(open_connect_scripts[random() % 3]);
    } else {
      ToggleXray(xray_scripts[random() % 2]);
    }
    static_cast<void>(Call("vpnConnected", {}));
    std::this_thread::sleep_for(std::chrono::milliseconds(random() % 30));
  }
  churning = false;
  for (std::thread& thread : threads) thread.join();
  Settle();
}

}  // namespace
}  // namespace vpn_testing
