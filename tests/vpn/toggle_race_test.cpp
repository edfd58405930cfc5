#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/process_stats.h"
#include "tests/vpn/vpn_test_fixture.h"
#include "vpn/connection_worker.h"
#include "vpn/worker_thread.h"

// Toggles that race each other: every toggle takes effect, no child is left where no toggle can
// end it, and no thread or handle is left behind. Meant for ThreadSanitizer too.
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

  // Starts a child that would report its success if it got the time to, or stops.
  void ToggleKind(Kind kind, bool stop = false) {
    const bool open_connect = kind == Kind::kOpenConnect;
    const std::string script =
        stop ? "stop"
             : ChildScript()
                   .Say(open_connect ? "Using TAP-Windows device" : "[Warning] core: Xray started")
                   .RunUntilTerminated()
                   .Text();
    open_connect ? ToggleOpenConnect(script) : ToggleXray(script);
  }
  // The kind's events, without the success if it came in time, against a start and its stop.
  void ExpectStartAndStop(Kind kind) const {
    const bool open_connect = kind == Kind::kOpenConnect;
    Codes events = (open_connect ? open_connect_events_ : xray_events_)->Codes();
    std::erase(events, open_connect ? int32_t{kConnected} : int32_t{kStarted});
    const Codes start_and_stop = open_connect ? Codes{kConnecting, kDisconnected}
                                              : Codes{kStarting, kProxyOn, kProxyOff, kStopped};
    EXPECT_EQ(events, start_and_stop);
  }
};

TEST_F(ToggleRaceTest, AStopWhileTheStartIsLaunchingEndsItsChildAndNothingFollows) {
  for (const Kind kind : {Kind::kOpenConnect, Kind::kXray}) {
    SCOPED_TRACE(kind == Kind::kOpenConnect ? "openconnect" : "xray");
    StartOver();
    // Holds the starting worker right before its launch until the stop is through.
    std::atomic<int> arrivals{0};
    std::promise<void> opener;
    vpn::SetBeforeLaunchHookForTesting([&arrivals, opened = opener.get_future().share()] {
      ++arrivals;
      opened.wait();
    });
    ToggleKind(kind);
    ASSERT_TRUE(WaitUntil([&arrivals] { return arrivals > 0; }));
    ToggleKind(kind, true);
    ASSERT_TRUE(WaitUntil([] { return vpn::RunningWorkers() == 1; })) << "the stop was carried out";
    EXPECT_THAT(log_.Err(), HasSubstr("Terminate vpn was sucessfully\n"));
    opener.set_value();
    Settle();  // would wait out the child's minute, had it been left running
    vpn::SetBeforeLaunchHookForTesting(nullptr);

    EXPECT_EQ(arrivals, 1) << "one child was launched";
    ExpectStartAndStop(kind);
    EXPECT_EQ(Flags(), "");
  }
}

// Detached threads leave a moment after their last step; give them that moment.
int SettledThreadCount(int expected) {
  static_cast<void>(
      WaitUntil([expected] { return ThreadCount() <= expected; }, std::chrono::seconds(10)));
  return ThreadCount();
}

// Two toggles from two threads, released at once: whichever worker decides first starts, the
// other stops it, whatever the interleaving, also with the child's success report. The rounds
// leave no thread or handle behind.
TEST_F(ToggleRaceTest, TwoTogglesReleasedAtOnceEndAsOneStartAndItsStop) {
  const int threads_before = ThreadCount();
  int threads = 0;
  int handles = 0;
  const int rounds = kWindows ? 10 : 40;
  for (int round = 0; round < rounds; ++round) {
    const Kind kind = round % 2 == 0 ? Kind::kOpenConnect : Kind::kXray;
    SCOPED_TRACE(round);
    StartOver();
    std::atomic<int> ready{0};
    std::vector<std::thread> togglers;
    for (int toggler = 0; toggler < 2; ++toggler) {
      togglers.emplace_back([&] {
        ++ready;
        while (ready < 2) {
        }
        ToggleKind(kind);
      });
    }
    for (std::thread& toggler : togglers) toggler.join();
    Settle();
    ExpectStartAndStop(kind);
    EXPECT_EQ(Flags(), "");
    if (round == 0) {  // the first use set up what lives for the whole process
      threads = SettledThreadCount(threads_before);
      handles = OpenHandleCount();
    }
  }
  EXPECT_EQ(SettledThreadCount(threads), threads);
  EXPECT_EQ(OpenHandleCount(), handles);
}

}  // namespace
}  // namespace vpn_testing
