#include "tests/vpn/vpn_test_fixture.h"

#include <atomic>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <thread>

#include "channels/method_call.h"
#include "vpn/control_channel.h"
#include "vpn/event_streams.h"
#include "vpn/executable_directory.h"
#include "vpn/vpn_state.h"
#include "vpn/worker_thread.h"

namespace vpn_testing {
namespace {

std::string PercentEncode(std::string_view text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string encoded;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    const bool plain = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
                       (byte >= '0' && byte <= '9') || c == '-' || c == '.' || c == '_' ||
                       c == '/' || c == ':';
    if (plain) {
      encoded.push_back(c);
    } else {
      encoded.push_back('%');
      encoded.push_back(kHex[byte >> 4]);
      encoded.push_back(kHex[byte & 0x0F]);
    }
  }
  return encoded;
}

}  // namespace

ChildScript& ChildScript::Report(const std::filesystem::path& directory) {
  return Step("report", Utf8(directory));
}

ChildScript& ChildScript::Burst(size_t filler, std::string_view text) {
  return Step("burst", std::to_string(filler) + ":" + std::string(text));
}

ChildScript& ChildScript::Step(std::string_view verb, std::string_view value) {
  steps_.push_back(value.empty() ? std::string(verb)
                                 : std::string(verb) + "=" + PercentEncode(value));
  return *this;
}

std::string ChildScript::Text() const {
  std::string text;
  for (const std::string& step : steps_) {
    text += (text.empty() ? "" : ",") + step;
  }
  return text;
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

std::string ChildProgramDirectory() { return vpn::NativeToUtf8(vpn::ExecutableDirectory()); }

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) {
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

bool WaitForWorkers(std::chrono::milliseconds timeout) {
  return WaitUntil([] { return vpn::RunningWorkers() == 0; }, timeout);
}

void VpnTest::SetUp() {
  vpn::ResetVpnStateForTesting();
  platform_ = std::make_shared<testing_support::QueueTaskRunner>();
  vpn::SetPlatformTaskRunner(platform_);
  open_connect_events_ = std::make_shared<testing_support::EventRecord>();
  xray_events_ = std::make_shared<testing_support::EventRecord>();
  static std::atomic<int> folders{0};
  scratch_ = std::filesystem::temp_directory_path() /
             ("quorvanta-vpn-" +
              std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()) + "-" +
              std::to_string(folders++));
  std::filesystem::create_directories(scratch_);
}

void VpnTest::TearDown() {
  // Children a test left running are stopped, so that their workers end.
  vpn::VpnState& state = vpn::GetVpnState();
  static_cast<void>(state.openConnectProcess.TerminateChild());
  static_cast<void>(state.xrayProcess.TerminateChild());
  EXPECT_TRUE(WaitForWorkers()) << "a worker did not end";
  vpn::ClearEventSinks();
  vpn::SetPlatformTaskRunner(nullptr);
  platform_->Stop();
  vpn::ResetVpnStateForTesting();
  EXPECT_EQ(open_connect_events_->unexpected_calls() + xray_events_->unexpected_calls(), 0);
  EXPECT_EQ(open_connect_events_->off_platform_thread() + xray_events_->off_platform_thread(), 0);
  std::error_code ignored;
  std::filesystem::remove_all(scratch_, ignored);
}

void VpnTest::ListenOpenConnect() {
  EXPECT_EQ(vpn::OnListen(vpn::EventStream::kOpenConnect, nullptr,
                          std::make_unique<testing_support::RecordingEventSink>(
                              open_connect_events_, platform_.get())),
            nullptr);
}

void VpnTest::ListenXray() {
  EXPECT_EQ(vpn::OnListen(vpn::EventStream::kXray, nullptr,
                          std::make_unique<testing_support::RecordingEventSink>(xray_events_,
                                                                                platform_.get())),
            nullptr);
}

std::shared_ptr<testing_support::MethodAnswer> VpnTest::Call(const std::string& method,
                                                             flutter::EncodableValue arguments) {
  auto answer = std::make_shared<testing_support::MethodAnswer>();
  const flutter::MethodCall<> call(method,
                                   std::make_unique<flutter::EncodableValue>(std::move(arguments)));
  vpn::HandleControlMethodCall(call,
                               std::make_unique<testing_support::RecordingMethodResult>(answer));
  return answer;
}

void VpnTest::ToggleOpenConnect(const std::string& server, const std::string& user_name,
                                const std::string& password) {
  const auto answer =
      Call("toggleOpenConnect", flutter::EncodableList{server, user_name, password});
  ASSERT_EQ(answer->kind, testing_support::MethodAnswer::Kind::kSuccess);
  EXPECT_EQ(answer->value, flutter::EncodableValue(int32_t{0}));
}

void VpnTest::ToggleXray(const std::string& configuration) {
  const auto answer = Call("toggleV2ray", flutter::EncodableList{"", configuration});
  ASSERT_EQ(answer->kind, testing_support::MethodAnswer::Kind::kSuccess);
  EXPECT_EQ(answer->value, flutter::EncodableValue(int32_t{0}));
}

std::string VpnTest::WorkerOut() const {
  std::string out = log_.Out();
  const std::string line = "toggleVPN END\n";
  for (size_t at; (at = out.find(line)) != std::string::npos;) {
    out.erase(at, line.size());
  }
  return out;
}

void VpnTest::Settle() {
  ASSERT_TRUE(WaitForWorkers()) << "a worker did not end";
  ASSERT_TRUE(platform_->Flush());
}

std::filesystem::path VpnTest::NewReportDirectory() {
  std::filesystem::path directory = scratch_ / ("child" + std::to_string(reports_++));
  std::filesystem::create_directories(directory);
  return directory;
}

}  // namespace vpn_testing
