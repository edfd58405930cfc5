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
  void ToggleKind(Kind kind, const std::string& script) {
    kind == Kind::kOpenConnect ? ToggleOpenConnect(script) : ToggleXray(script);
  }
  // A child that would report its success if it got the time to.
  static std::string Succeeding(Kind kind) {
    return ChildScript()
        .Say(kind == Kind::kOpenConnect ? "Using TAP-Windows device"
                                        : "[Warning] core: Xray started")
        .RunUntilTerminated()
        .Text();
  }
  Codes Events(Kind kind) const {
    return (kind == Kind::kOpenConnect ? open_connect_events_ : xray_events_)->Codes();
  }
  // The kind's events, without the success if it came in time, against starts and their stops.
  void ExpectStartsAndStops(Kind kind, int count) const {
    Codes events = Events(kind);
    std::erase(events, kind == Kind::kOpenConnect ? int32_t{kConnected} : int32_t{kStarted});
    const Codes start_and_stop = kind == Kind::kOpenConnect
                                     ? Codes{kConnecting, kDisconnected}
                                     : Codes{kStarting, kProxyOn, kProxyOff, kStopped};
    Codes expected;
    for (int i = 0; i < count; ++i) {
      expected.insert(expected.end(), start_and_stop.begin(), start_and_stop.end());
    }
    EXPECT_EQ(events, expected);
  }
};

// Holds each starting worker right before its launch until it is opened.
class LaunchGate {
 public:
  LaunchGate() {
    vpn::SetBeforeLaunchHookForTesting([this, opened = opener_.get_future().share()] {
      ++arrivals_;
      opened.wait();
    });
  }
  ~LaunchGate() { vpn::SetBeforeLaunchHookForTesting(nullptr); }
  void Open() { opener_.set_value(); }
  int Arrivals() const { return arrivals_; }

 private:
  std::atomic<int> arrivals_{0};
  std::promise<void> opener_;
};

TEST_F(ToggleRaceTest, AStopWhileTheStartIsLaunchingEndsItsChildAndNothingFollows) {
  ListenOpenConnect();
  ListenXray();
  for (const Kind kind : {Kind::kOpenConnect, Kind::kXray}) {
    SCOPED_TRACE(kind == Kind::kOpenConnect ? "openconnect" : "xray");
    StartOver();
    LaunchGate gate;
    ToggleKind(kind, Succeeding(kind));
    ASSERT_TRUE(WaitUntil([&gate] { return gate.Arrivals() > 0; }));
    ToggleKind(kind, "stop");
    ASSERT_TRUE(WaitUntil([] { return vpn::RunningWorkers() == 1; })) << "the stop went through";
    EXPECT_THAT(log_.Err(), HasSubstr("Terminate vpn was sucessfully\n"));
    gate.Open();
    Settle();  // would wait out the child's minute, had it been left running

    EXPECT_EQ(gate.Arrivals(), 1) << "one child was launched";
    ExpectStartsAndStops(kind, 1);
    EXPECT_EQ(Flags(), "");
  }
}

// A start nobody listened to sets no flag, so the next toggle replaces it and waits until its
// worker is gone: the replaced start's end is reported once, by the replacing toggle, and never
// takes the new start's flag; a new start stopped while it waits never launches.
TEST_F(ToggleRaceTest, AStartReplacingAnUnheardOneWaitsForItsWorker) {
  for (const Kind kind : {Kind::kOpenConnect, Kind::kXray}) {
    for (const bool stopped_while_waiting : {false, true}) {
      SCOPED_TRACE(testing::Message() << (kind == Kind::kOpenConnect ? "openconnect" : "xray")
                                      << (stopped_while_waiting ? ", stopped while waiting" : ""));
      StartOver();
      const vpn::EventStream stream =
          kind == Kind::kOpenConnect ? vpn::EventStream::kOpenConnect : vpn::EventStream::kXray;
      EXPECT_EQ(vpn::OnCancel(stream, nullptr), nullptr);
      LaunchGate gate;
      ToggleKind(kind, Succeeding(kind));
      ASSERT_TRUE(WaitUntil([&gate] { return gate.Arrivals() == 1; }));
      kind == Kind::kOpenConnect ? ListenOpenConnect() : ListenXray();
      // A quiet child: its start stays "connecting" until it is stopped.
      ToggleKind(kind, ChildScript().RunUntilTerminated().Text());
      ASSERT_TRUE(WaitUntil([] { return Flags() == "connecting"; }));
      if (stopped_while_waiting) {
        ToggleKind(kind, "stop");
        ASSERT_TRUE(WaitUntil([] { return Flags().empty(); }));
      }
      gate.Open();
      if (!stopped_while_waiting) {
        ASSERT_TRUE(WaitUntil([&gate] { return gate.Arrivals() == 2; }));
        EXPECT_EQ(Flags(), "connecting") << "the replaced start's end took the new start's flag";
        ToggleKind(kind, "stop");
      }
      Settle();

      EXPECT_EQ(gate.Arrivals(), stopped_while_waiting ? 1 : 2) << "children launched";
      const Codes expected =
          kind == Kind::kOpenConnect
              ? Codes{kDisconnected, kConnecting, kDisconnected}
              : Codes{kProxyOff, kStopped, kStarting, kProxyOn, kProxyOff, kStopped};
      EXPECT_EQ(Events(kind), expected);
      EXPECT_EQ(Flags(), "");
    }
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
  ListenOpenConnect();
  ListenXray();
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
        ToggleKind(kind, Succeeding(kind));
      });
    }
    for (std::thread& toggler : togglers) toggler.join();
    Settle();
    ExpectStartsAndStops(kind, 1);
    EXPECT_EQ(Flags(), "");
    if (HasFailure()) break;
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
