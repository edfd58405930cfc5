#include "tests/vpn/vpn_test_fixture.h"

#include <cctype>
#include <fstream>
#include <iterator>
#include <random>
#include <thread>

#include "channels/method_call.h"
#include "vpn/connection_worker.h"
#include "vpn/control_channel.h"
#include "vpn/worker_thread.h"

namespace vpn_testing {
namespace {

bool NoWorkers() { return vpn::RunningWorkers() == 0; }

}  // namespace

using testing_support::MethodAnswer;

ChildScript& ChildScript::Step(std::string_view verb, std::string_view value) {
  text_.append(text_.empty() ? "" : ",").append(verb).append(value.empty() ? "" : "=");
  for (const char c : value) {  // percent-encoded, all but the plainest characters
    const auto byte = static_cast<unsigned char>(c);
    if (std::isalnum(byte) || std::string_view("-._/:").find(c) != std::string_view::npos) {
      text_.push_back(c);
    } else {
      text_ += {'%', "0123456789ABCDEF"[byte >> 4], "0123456789ABCDEF"[byte & 0x0F]};
    }
  }
  return *this;
}

std::string ChildReport::Read(const char* name) const {
  std::ifstream file(directory_ / name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::vector<std::string> ChildReport::Split(const std::string& zero_ended) {
  std::vector<std::string> items;
  size_t start = 0;
  for (size_t end; (end = zero_ended.find('\0', start)) != std::string::npos; start = end + 1) {
    items.push_back(zero_ended.substr(start, end - start));
  }
  return items;
}

std::string Utf8(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

void Release(const std::filesystem::path& signal) { std::ofstream(signal).put('\n'); }

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

// Hands events to the test's platform thread, noting the moment of each post on the posting
// thread.
class VpnTest::MomentRecorder : public vpn::PlatformTaskRunner {
 public:
  explicit MomentRecorder(VpnTest* test) : test_(test) {}
  bool PostTask(std::function<void()> task) override {
    {
      std::lock_guard<std::mutex> hold(test_->moments_lock_);
      test_->moments_.push_back(test_->log_.Err() + "|" + Flags());
    }
    return test_->platform_->PostTask(std::move(task));
  }

 private:
  VpnTest* const test_;
};

void VpnTest::SetUp() {
  vpn::ResetVpnStateForTesting();
  platform_ = std::make_shared<testing_support::QueueTaskRunner>();
  vpn::SetPlatformTaskRunner(std::make_shared<MomentRecorder>(this));
  open_connect_events_ = std::make_shared<testing_support::EventRecord>();
  xray_events_ = std::make_shared<testing_support::EventRecord>();
  scratch_ = std::filesystem::temp_directory_path() /
             ("quorvanta-vpn-" + std::to_string(std::random_device()()));
  std::filesystem::create_directories(scratch_);
}

void VpnTest::TearDown() {
  if (platform_ == nullptr) {
    return;  // the test skipped itself before it was set up
  }
  // Children a test left running are stopped, so that their workers end.
  vpn::SetBeforeLaunchHookForTesting(nullptr);
  vpn::ResetVpnStateForTesting();
  EXPECT_TRUE(WaitUntil(NoWorkers, std::chrono::seconds(30))) << "a worker did not end";
  vpn::ClearEventSinks();
  vpn::SetPlatformTaskRunner(nullptr);
  platform_->Stop();
  EXPECT_EQ(open_connect_events_->unexpected_calls() + xray_events_->unexpected_calls(), 0);
  EXPECT_EQ(open_connect_events_->off_platform_thread() + xray_events_->off_platform_thread(), 0);
  std::error_code ignored;
  std::filesystem::remove_all(scratch_, ignored);
}

void VpnTest::Listen(vpn::EventStream stream,
                     std::shared_ptr<testing_support::EventRecord> record) {
  EXPECT_EQ(vpn::OnListen(stream, nullptr,
                          std::make_unique<testing_support::RecordingEventSink>(std::move(record),
                                                                                platform_.get())),
            nullptr);
}

std::shared_ptr<MethodAnswer> VpnTest::Call(const std::string& method,
                                            flutter::EncodableValue arguments) {
  auto answer = std::make_shared<MethodAnswer>();
  vpn::HandleControlMethodCall(
      flutter::MethodCall<>(method,
                            std::make_unique<flutter::EncodableValue>(std::move(arguments))),
      std::make_unique<testing_support::RecordingMethodResult>(answer));
  return answer;
}

void VpnTest::Toggle(const std::string& method, flutter::EncodableList arguments) {
  EXPECT_EQ(Call(method, std::move(arguments))->value, flutter::EncodableValue(int32_t{0}))
      << method;
}

std::string VpnTest::Flags() {
  const bool connected = Connected();
  const bool connecting = vpn::GetVpnState().connecting;
  return std::string(connected ? "connected" : "") + (connected && connecting ? "+" : "") +
         (connecting ? "connecting" : "");
}

void VpnTest::Settle() {
  ASSERT_TRUE(WaitUntil(NoWorkers, std::chrono::seconds(30))) << "a worker did not end";
  ASSERT_TRUE(platform_->Flush());
}

void VpnTest::StartOver() {
  vpn::ResetVpnStateForTesting();
  open_connect_events_->Clear();
  xray_events_->Clear();
  log_.Clear();
  std::lock_guard<std::mutex> hold(moments_lock_);
  moments_.clear();
}

std::filesystem::path VpnTest::NewReportDirectory() {
  std::filesystem::path directory = scratch_ / ("child" + std::to_string(reports_++));
  std::filesystem::create_directories(directory);
  return directory;
}

std::vector<std::string> VpnTest::Moments() const {
  std::lock_guard<std::mutex> hold(moments_lock_);
  return moments_;
}

}  // namespace vpn_testing
