#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/process_stats.h"
#include "tests/vpn/vpn_test_fixture.h"
#include "vpn/connection_worker.h"
#include "vpn/worker_thread.h"

// Toggles that race each other, children that outlive what they reported, and listeners that come
// and go meanwhile: every toggle takes effect, every end is reported once, no child is left where
// no toggle can end it, and no thread or handle is left behind. Meant for ThreadSanitizer too.
namespace vpn_testing {
namespace {

using ::testing::HasSubstr;
using testing_support::OpenHandleCount;
using testing_support::ThreadCount;

enum class Kind { kOpenConnect, kXray };

class ToggleRaceTest : public VpnTest {
 protected:
  void SetUp() override {
    VpnTest::SetUp();
    ListenOpenConnect();
    ListenXray();
  }

  void ToggleKind(Kind kind, const std::string& script) {
    kind == Kind::kOpenConnect ? ToggleOpenConnect(script) : ToggleXray(script);
  }
  Codes Events(Kind kind) const {
    return (kind == Kind::kOpenConnect ? open_connect_events_ : xray_events_)->Codes();
  }
  // A start that is announced and then stopped, as each stream shows it.
  static Codes StartAndStop(Kind kind) {
    return kind == Kind::kOpenConnect ? Codes{kConnecting, kDisconnected}
                                      : Codes{kStarting, kProxyOn, kProxyOff, kStopped};
  }
  // A child that would report its success if it got the time to.
  static std::string Succeeding(Kind kind) {
    return ChildScript()
        .Say(kind == Kind::kOpenConnect ? "Using TAP-Windows device"
                                        : "[Warning] core: Xray started")
        .RunUntilTerminated()
        .Text();
  }
  std::string VpnConnected() { return std::get<std::string>(Call("vpnConnected", {})->value); }
};

// Holds a starting worker right before its launch until it is opened.
struct LaunchGate {
  std::atomic<int> arrivals{0};
  std::promise<void> opener;
  std::shared_future<void> opened = opener.get_future().share();
};

TEST_F(ToggleRaceTest, AStopWhileTheStartIsLaunchingEndsItsChildAndNothingFollows) {
  for (const Kind kind : {Kind::kOpenConnect, Kind::kXray}) {
    SCOPED_TRACE(kind == Kind::kOpenConnect ? "openconnect" : "xray");
    StartOver();
    auto gate = std::make_shared<LaunchGate>();
    vpn::SetBeforeLaunchHookForTesting([gate] {
      ++gate->arrivals;
      gate->opened.wait();
    });
    ToggleKind(kind, Succeeding(kind));
    ASSERT_TRUE(WaitUntil([&gate] { return gate->arrivals > 0; }));
    ToggleKind(kind, "stop");
    ASSERT_TRUE(WaitUntil([] { return vpn::RunningWorkers() == 1; })) << "the stop was carried out";
    EXPECT_THAT(log_.Err(), HasSubstr("Terminate vpn was sucessfully\n"));
    gate->opener.set_value();
    Settle();  // would wait out the child's minute, had it been left running
    vpn::SetBeforeLaunchHookForTesting(nullptr);

    EXPECT_EQ(gate->arrivals, 1) << "one child was launched";
    EXPECT_EQ(Events(kind), StartAndStop(kind));
    EXPECT_EQ(Flags(), "");
    EXPECT_EQ(VpnConnected(), "0");
  }
}

// Two toggles from two threads, released at once: whichever worker decides first starts, the
// other stops it, whatever the interleaving.
TEST_F(ToggleRaceTest, TwoTogglesReleasedAtOnceEndAsOneStartAndItsStop) {
  const int rounds = kWindows ? 10 : 40;
  for (int round = 0; round < rounds; ++round) {
    const Kind kind = round % 2 == 0 ? Kind::kOpenConnect : Kind::kXray;
    SCOPED_TRACE(round);
    StartOver();
    const auto reports = std::vector{NewReportDirectory(), NewReportDirectory()};
    std::atomic<int> ready{0};
    std::vector<std::thread> togglers;
    for (const auto& report : reports) {
      togglers.emplace_back([&, report] {
        ++ready;
        while (ready < 2) {
        }
        ToggleKind(kind, ChildScript().Report(report).RunUntilTerminated().Text());
      });
    }
    for (std::thread& toggler : togglers) toggler.join();
    Settle();
    ASSERT_EQ(Events(kind), StartAndStop(kind));
    EXPECT_EQ(Flags(), "");
    EXPECT_LE(ChildReport(reports[0]).Exists() + ChildReport(reports[1]).Exists(), 1);
  }
}

// Detached threads leave a moment after their last step; give them that moment.
int SettledThreadCount(int expected) {
  static_cast<void>(
      WaitUntil([expected] { return ThreadCount() <= expected; }, std::chrono::seconds(10)));
  return ThreadCount();
}

// Many toggles of both kinds in random order, each child running for a minute unless it is
// ended: children that connect, fail and go on, fail the configuration, end at once or never
// speak. Afterwards one toggle of each kind must be enough to end everything, each stream must
// have reported the end of what it announced, and the threads and handles are as before.
TEST_F(ToggleRaceTest, NoToggleSequenceLeavesAChildOrAThreadOrAHandleBehind) {
  const int threads_before = ThreadCount();
  ToggleOpenConnect(ChildScript().Text());  // first use sets up what lives for the whole process
  Settle();
  const int threads = SettledThreadCount(threads_before);
  const int handles = OpenHandleCount();
  const std::string open_connect_scripts[] = {
      Succeeding(Kind::kOpenConnect),
      ChildScript().Say("Read error").RunUntilTerminated().Text(),
      ChildScript().Say("failed: please try again.").RunUntilTerminated().Text(),
      ChildScript().Say("Username:").Ask().Say("Using TAP-Windows device").Text(),
      ChildScript().RunUntilTerminated().Text(),
  };
  const std::string xray_scripts[] = {
      Succeeding(Kind::kXray),
      ChildScript().Say("failed to load config files").RunUntilTerminated().Text(),
      ChildScript().Say("[Warning] core: Xray started").Text(),
      ChildScript().RunUntilTerminated().Text(),
  };
  std::mt19937 random(11);
  const int toggles = kWindows ? 60 : 200;
  for (int i = 0; i < toggles; ++i) {
    if (random() % 2 == 0) {
      ToggleOpenConnect(open_connect_scripts[random() % std::size(open_connect_scripts)]);
    } else {
      ToggleXray(xray_scripts[random() % std::size(xray_scripts)]);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(random() % 20));
  }
  ToggleOpenConnect(ChildScript().Text());
  ToggleXray(ChildScript().Text());
  Settle();  // a child left running would hold its worker for a minute

  // Whatever happened, Connected was followed by Disconnected, and every proxy request by the
  // request to switch it off.
  const Codes open_connect = Events(Kind::kOpenConnect);
  for (size_t i = 0; i + 1 < open_connect.size(); ++i) {
    if (open_connect[i] == kConnected) {
      EXPECT_EQ(open_connect[i + 1], kDisconnected) << i;
    }
  }
  EXPECT_NE(open_connect.back(), kConnected);
  int proxy_on = 0;
  for (const int32_t code : Events(Kind::kXray)) {
    if (code == kProxyOn) {
      EXPECT_EQ(proxy_on, 0) << "the proxy was asked on twice without being asked off";
      proxy_on = 1;
    } else if (code == kProxyOff) {
      proxy_on = 0;
    }
  }
  EXPECT_EQ(proxy_on, 0);
  EXPECT_EQ(VpnConnected(), "0");
  EXPECT_EQ(SettledThreadCount(threads), threads);
  EXPECT_EQ(OpenHandleCount(), handles);
}

// Toggles of both kinds and queries, events posted without pause, and listeners cancelling and
// listening again on the platform thread, all at once. The run must end with every worker gone;
// the sanitizers watch that no sink is used after it was destroyed, and all the rest.
TEST_F(ToggleRaceTest, TogglesAndQueriesWhileListenersComeAndGo) {
  vpn::SetPlatformTaskRunner(platform_);  // far more posts than anyone looks at the moments of
  std::atomic<bool> churning{true};
  std::vector<std::thread> threads;
  threads.emplace_back([this, &churning] {
    for (int i = 0; churning; ++i) {
      static_cast<void>(platform_->PostTask([this, i] {
        const bool open_connect = i % 2 == 0;
        open_connect ? ListenOpenConnect() : ListenXray();
        static_cast<void>(vpn::OnCancel(
            open_connect ? vpn::EventStream::kXray : vpn::EventStream::kOpenConnect, nullptr));
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
  for (int i = 0; i < 40; ++i) {
    if (random() % 2 == 0) {
      ToggleOpenConnect(
          ChildScript().Say("Username:").Ask().Say("Using TAP-Windows device").Text());
    } else {
      ToggleXray(ChildScript().Say("stdin:").Ask().Say("[Warning] core: Xray started").Text());
    }
    static_cast<void>(VpnConnected());
    std::this_thread::sleep_for(std::chrono::milliseconds(random() % 30));
  }
  churning = false;
  for (std::thread& thread : threads) thread.join();
  Settle();
}

}  // namespace
}  // namespace vpn_testing
