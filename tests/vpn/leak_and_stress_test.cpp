#include <atomic>
#include <chrono>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/process_stats.h"
#include "tests/vpn/vpn_test_fixture.h"
#include "vpn/event_streams.h"

namespace vpn_testing {
namespace {

using testing_support::OpenHandleCount;
using testing_support::ThreadCount;

class LeakAndStressTest : public VpnTest {
 protected:
  // One OpenConnect connection that is stopped, one that fails by itself, one Xray connection
  // that is stopped.
  void ConnectionCycle() {
    ToggleOpenConnect(ChildScript().Say("Using TAP-Windows device").RunUntilTerminated().Text());
    ASSERT_TRUE(WaitUntil(Connected));
    ToggleOpenConnect("stop");
    Settle();
    ToggleOpenConnect(ChildScript().Say("SSL Read error").Text());
    Settle();
    const size_t xray = xray_events_->Codes().size();
    ToggleXray(ChildScript().Say("[Warning] core: Xray started").RunUntilTerminated().Text());
    ASSERT_TRUE(xray_events_->WaitForCount(xray + 3));
    ToggleXray("stop");
    Settle();
    ASSERT_EQ(Flags(), "");
  }

  // Detached threads leave a moment after their last step; give them that moment.
  static int SettledThreadCount(int expected) {
    static_cast<void>(
        WaitUntil([expected] { return ThreadCount() <= expected; }, std::chrono::seconds(10)));
    return ThreadCount();
  }
};

TEST_F(LeakAndStressTest, ManyConnectionCyclesLeaveNoThreadOrHandleBehind) {
  ListenOpenConnect();
  ListenXray();
  const int before = ThreadCount();
  ConnectionCycle();  // first use sets up what lives for the whole process
  const int threads = SettledThreadCount(before);
  const int handles = OpenHandleCount();
  for (int i = 0; i < 20; ++i) {
    ConnectionCycle();
    if (HasFatalFailure()) return;
  }
  EXPECT_EQ(SettledThreadCount(threads), threads);
  EXPECT_EQ(OpenHandleCount(), handles);
}

// Toggles of both kinds, queries, events posted without pause, and listeners cancelling and
// listening again on the platform thread, all at once. The run must end with every worker gone;
// the sanitizers watch that no sink is used after it was destroyed, and all the rest.
TEST_F(LeakAndStressTest, TogglesOfBothKindsWhileListenersComeAndGo) {
  vpn::SetPlatformTaskRunner(platform_);  // far more posts than anyone looks at the moments of
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
