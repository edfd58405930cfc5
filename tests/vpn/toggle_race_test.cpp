#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "channels/method_call.h"
#include "tests/vpn/vpn_test_fixture.h"
#include "vpn/connection_worker.h"
#include "vpn/control_channel.h"
#include "vpn/worker_thread.h"

// Toggles that race each other, and children that outlive what they reported: every toggle takes
// effect, every end is reported once, and no child is ever left where no toggle can end it.
namespace vpn_testing {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

enum class Kind { kOpenConnect, kXray };

const char* Name(Kind kind) { return kind == Kind::kOpenConnect ? "openconnect" : "xray"; }

// Holds starting workers right before their launch until it is opened.
class LaunchGate {
 public:
  void Pass() {
    std::unique_lock<std::mutex> hold(lock_);
    ++arrivals_;
    changed_.notify_all();
    changed_.wait(hold, [this] { return open_; });
  }
  [[nodiscard]] bool WaitForArrival() {
    std::unique_lock<std::mutex> hold(lock_);
    return changed_.wait_for(hold, std::chrono::seconds(20), [this] { return arrivals_ > 0; });
  }
  void Open() {
    std::lock_guard<std::mutex> hold(lock_);
    open_ = true;
    changed_.notify_all();
  }
  int arrivals() {
    std::lock_guard<std::mutex> hold(lock_);
    return arrivals_;
  }

 private:
  std::mutex lock_;
  std::condition_variable changed_;
  int arrivals_ = 0;
  bool open_ = false;
};

class ToggleRaceTest : public VpnTest {
 protected:
  void SetUp() override {
    VpnTest::SetUp();
    ListenOpenConnect();
    ListenXray();
  }

  void ToggleKind(Kind kind, const std::string& script) {
    if (kind == Kind::kOpenConnect) {
      ToggleOpenConnect(script);
    } else {
      ToggleXray(script);
    }
  }
  std::vector<int32_t> Events(Kind kind) const {
    return (kind == Kind::kOpenConnect ? open_connect_events_ : xray_events_)->Codes();
  }
  // A start that is announced and then stopped, as each stream shows it.
  static Codes StartAndStop(Kind kind) {
    return kind == Kind::kOpenConnect ? Codes{kConnecting, kDisconnected}
                                      : Codes{kStarting, kProxyOn, kProxyOff, kStopped};
  }
  // A child that would report its success if it got the time to.
  static std::string Succeeding(Kind kind, ChildScript script = {}) {
    return script
        .Say(kind == Kind::kOpenConnect ? "Using TAP-Windows device"
                                        : "[Warning] core: Xray started")
        .RunUntilTerminated()
        .Text();
  }
  std::string VpnConnected() { return std::get<std::string>(Call("vpnConnected", {})->value); }
};

TEST_F(ToggleRaceTest, AStopWhileTheStartIsLaunchingEndsItsChildAndNothingFollows) {
  for (const Kind kind : {Kind::kOpenConnect, Kind::kXray}) {
    SCOPED_TRACE(Name(kind));
    StartOver();
    auto gate = std::make_shared<LaunchGate>();
    vpn::SetBeforeLaunchHookForTesting([gate] { gate->Pass(); });
    ToggleKind(kind, Succeeding(kind));
    ASSERT_TRUE(gate->WaitForArrival());
    ToggleKind(kind, "stop");
    ASSERT_TRUE(WaitUntil([] { return vpn::RunningWorkers() == 1; })) << "the stop was carried out";
    EXPECT_THAT(log_.Err(), HasSubstr("Terminate vpn was sucessfully\n"));
    gate->Open();
    Settle();
    vpn::SetBeforeLaunchHookForTesting(nullptr);

    EXPECT_EQ(gate->arrivals(), 1) << "one child was launched";
    EXPECT_EQ(Events(kind), StartAndStop(kind));
    EXPECT_EQ(Flags(), "");
    EXPECT_EQ(VpnConnected(), "0");
  }
}

TEST_F(ToggleRaceTest, AStopBeforeTheChildsFirstOutputEndsIt) {
  for (const Kind kind : {Kind::kOpenConnect, Kind::kXray}) {
    SCOPED_TRACE(Name(kind));
    StartOver();
    const auto report = NewReportDirectory();
    ToggleKind(kind, Succeeding(kind, ChildScript().Report(report).Await(report / "never")));
    ASSERT_TRUE(WaitUntil([&] { return ChildReport(report).Exists(); }));
    ToggleKind(kind, "stop");
    Settle();  // would wait out the child's minute, had the stop missed it
    EXPECT_EQ(Events(kind), StartAndStop(kind));
    EXPECT_EQ(Flags(), "");
  }
}

// Two toggles from two threads, released at once: whichever worker decides first starts, the
// other stops it, whatever the interleaving.
TEST_F(ToggleRaceTest, TwoTogglesReleasedAtOnceEndAsOneStartAndItsStop) {
  const int rounds = kWindows ? 10 : 40;
  for (int round = 0; round < rounds; ++round) {
    const Kind kind = round % 2 == 0 ? Kind::kOpenConnect : Kind::kXray;
    SCOPED_TRACE(std::string(Name(kind)) + " round " + std::to_string(round));
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

// A sink that asks "vpnConnected" while each event is delivered, as a UI may.
class AskingSink : public flutter::EventSink<> {
 public:
  explicit AskingSink(std::shared_ptr<std::vector<std::string>> seen) : seen_(std::move(seen)) {}
  void Success(const flutter::EncodableValue* event) override {
    auto answer = std::make_shared<testing_support::MethodAnswer>();
    vpn::HandleControlMethodCall(flutter::MethodCall<>("vpnConnected", nullptr),
                                 std::make_unique<testing_support::RecordingMethodResult>(answer));
    seen_->push_back(std::to_string(std::get<int32_t>(*event)) + ":" +
                     std::get<std::string>(answer->value));
  }
  void Error(const std::string&, const std::string&, const flutter::EncodableValue*) override {}
  void EndOfStream() override {}

 private:
  std::shared_ptr<std::vector<std::string>> seen_;  // on the platform thread only
};

TEST_F(ToggleRaceTest, VpnConnectedAskedOnEachEventAnswersTheStateItAnnounced) {
  auto seen = std::make_shared<std::vector<std::string>>();
  static_cast<void>(
      vpn::OnListen(vpn::EventStream::kOpenConnect, nullptr, std::make_unique<AskingSink>(seen)));
  const auto report = NewReportDirectory();
  const auto connect = report / "connect";
  const auto fail = report / "fail";
  ToggleOpenConnect(ChildScript()
                        .Await(connect)
                        .Say("Using TAP-Windows device")
                        .Await(fail)
                        .Say("Read error")
                        .RunUntilTerminated()
                        .Text());
  // Each event is delivered, and asked about, before the child goes on to the next one.
  const auto delivered = [this](size_t events) {
    return WaitUntil([this, events] { return Moments().size() == events; }) && platform_->Flush();
  };
  ASSERT_TRUE(delivered(1));
  Release(connect);
  ASSERT_TRUE(delivered(2));
  Release(fail);
  ASSERT_TRUE(delivered(3));
  const auto reconnect = report / "reconnect";
  ToggleOpenConnect(
      ChildScript().Await(reconnect).Say("Using TAP-Windows device").RunUntilTerminated().Text());
  ASSERT_TRUE(delivered(4));
  Release(reconnect);
  ASSERT_TRUE(delivered(5));
  ToggleOpenConnect("stop");
  Settle();
  EXPECT_THAT(*seen, ElementsAre("4:0", "5:1", "6:0", "4:0", "5:1", "6:0"));
}

// Many toggles of both kinds in random order, each child running for a minute unless it is
// ended: children that connect, fail and go on, fail the configuration, end at once or never
// speak. Afterwards one toggle of each kind must be enough to end everything, each stream must
// have reported the end of what it announced, and no child may be left.
TEST_F(ToggleRaceTest, NoToggleSequenceLeavesAChildBeyondReach) {
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
}

}  // namespace
}  // namespace vpn_testing
