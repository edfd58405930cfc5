#ifndef QUORVANTA_TESTS_VPN_VPN_TEST_FIXTURE_H_
#define QUORVANTA_TESTS_VPN_VPN_TEST_FIXTURE_H_

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "channels/encodable_value.h"
#include "tests/support/log_capture.h"
#include "tests/support/queue_task_runner.h"
#include "tests/support/recording_channel_doubles.h"
#include "vpn/child_process.h"
#include "vpn/event_streams.h"
#include "vpn/native_string.h"
#include "vpn/vpn_state.h"

namespace vpn_testing {

inline constexpr bool kWindows = std::is_same_v<vpn::NativeString, std::wstring>;

// The event codes of each stream as the UI receives them.
enum OpenConnectCode { kConnecting = 4, kConnected = 5, kDisconnected = 6 };
enum XrayCode { kStarting = 3, kProxyOn = 8, kProxyOff = 9, kStopped = 41, kStarted = 61 };
using Codes = std::vector<int32_t>;

std::string Utf8(const std::filesystem::path& path);

// A pipe whose ends every child launched from now on could inherit (inheritable_pipe_*.cpp).
void MakeInheritablePipe(vpn::PipeEnd& read_end, vpn::PipeEnd& write_end);

// Builds the script that a stand-in child runs (the server of openconnect, the configuration text
// of xray); see stand_ins/scripted_child/scripted_child.h for the steps.
class ChildScript {
 public:
  ChildScript& Report(const std::filesystem::path& directory) {
    return Step("report", Utf8(directory));
  }
  ChildScript& Say(std::string_view text) { return Step("say", text); }
  ChildScript& Err(std::string_view text) { return Step("err", text); }
  ChildScript& Burst(size_t filler) { return Step("burst", std::to_string(filler) + ":"); }
  ChildScript& Ask() { return Step("ask", {}); }
  // The child's output ends and everything written to its input is recorded: the common ending.
  ChildScript& Finish() { return Step("closeout", {}).Step("drain", {}); }
  ChildScript& Sleep(int milliseconds) { return Step("sleep", std::to_string(milliseconds)); }
  ChildScript& RunUntilTerminated() { return Sleep(60000); }
  // Until Release(signal).
  ChildScript& Await(const std::filesystem::path& signal) { return Step("await", Utf8(signal)); }
  std::string Text() const { return text_; }

 private:
  ChildScript& Step(std::string_view verb, std::string_view value);
  std::string text_;
};

// What a stand-in child wrote into its report folder.
class ChildReport {
 public:
  explicit ChildReport(std::filesystem::path directory) : directory_(std::move(directory)) {}
  std::string StandardInput() const { return Read("stdin"); }
  std::vector<std::string> Arguments() const { return Split(Read("args")); }
  std::string WorkingDirectory() const { return Read("cwd"); }
  std::vector<std::string> Environment() const { return Split(Read("env")); }

 private:
  std::string Read(const char* name) const;
  static std::vector<std::string> Split(const std::string& zero_ended);
  const std::filesystem::path directory_;
};

// A pipe whose ends every child launched from now on could inherit (inheritable_pipe_*.cpp).
void MakeInheritablePipe(vpn::PipeEnd& read_end, vpn::PipeEnd& write_end);

// Lets a child that awaits `signal` go on.
void Release(const std::filesystem::path& signal);

// Whether `condition` came to hold in time.
[[nodiscard]] bool WaitUntil(const std::function<bool()>& condition,
                             std::chrono::milliseconds timeout = std::chrono::seconds(20));

// A platform thread, a listener record per stream, log capture, a scratch folder, and a clean
// VpnState; what is left running is stopped afterwards.
class VpnTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  void ListenOpenConnect() { Listen(vpn::EventStream::kOpenConnect, open_connect_events_); }
  void ListenXray() { Listen(vpn::EventStream::kXray, xray_events_); }

  std::shared_ptr<testing_support::MethodAnswer> Call(const std::string& method,
                                                      flutter::EncodableValue arguments);
  // Toggles that must be answered with Success(0) at once.
  void ToggleOpenConnect(const std::string& server, const std::string& user_name = "user",
                         const std::string& password = "secret") {
    Toggle("toggleOpenConnect", {server, user_name, password});
  }
  void ToggleXray(const std::string& configuration) { Toggle("toggleV2ray", {"", configuration}); }

  // "connected", "connecting", both joined by "+", or "".
  static std::string Flags();
  static bool Connected() { return vpn::GetVpnState().connected; }

  // Waits for every worker and for the events they posted to be delivered.
  void Settle();
  // Between the cases of one test, once every worker has ended: clean flags, records and log.
  void StartOver();
  std::filesystem::path NewReportDirectory();

  // For each event posted, in posting order, "<standard error>|<Flags()>" at the moment of
  // posting: where an event falls between log lines and flag changes.
  std::vector<std::string> Moments() const;

  testing_support::LogCapture log_;
  std::shared_ptr<testing_support::QueueTaskRunner> platform_;
  std::shared_ptr<testing_support::EventRecord> open_connect_events_;
  std::shared_ptr<testing_support::EventRecord> xray_events_;
  std::filesystem::path scratch_;

 private:
  class MomentRecorder;
  void Listen(vpn::EventStream stream, std::shared_ptr<testing_support::EventRecord> record);
  void Toggle(const std::string& method, flutter::EncodableList arguments);

  mutable std::mutex moments_lock_;
  std::vector<std::string> moments_;
  int reports_ = 0;
};

}  // namespace vpn_testing

#endif  // QUORVANTA_TESTS_VPN_VPN_TEST_FIXTURE_H_
