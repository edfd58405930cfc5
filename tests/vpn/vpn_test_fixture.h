#ifndef QUORVANTA_TESTS_VPN_VPN_TEST_FIXTURE_H_
#define QUORVANTA_TESTS_VPN_VPN_TEST_FIXTURE_H_

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "channels/encodable_value.h"
#include "tests/support/log_capture.h"
#include "tests/support/queue_task_runner.h"
#include "tests/support/recording_channel_doubles.h"
#include "vpn/native_string.h"

namespace vpn_testing {

inline constexpr bool kWindows = std::is_same_v<vpn::NativeString, std::wstring>;

// The event codes of each stream as the UI receives them.
enum OpenConnectCode { kConnecting = 4, kConnected = 5, kDisconnected = 6 };
enum XrayCode { kStarting = 3, kProxyOn = 8, kProxyOff = 9, kStopped = 41, kStarted = 61 };
using Codes = std::vector<int32_t>;

// Builds the script that a stand-in child runs (the server of openconnect, the configuration text
// of xray); see stand_ins/scripted_child/scripted_child.h for the steps.
class ChildScript {
 public:
  ChildScript& Report(const std::filesystem::path& directory);
  ChildScript& Say(std::string_view text) { return Step("say", text); }
  ChildScript& Err(std::string_view text) { return Step("err", text); }
  ChildScript& Burst(size_t filler, std::string_view text);
  ChildScript& Stamp(std::string_view text) { return Step("stamp", text); }
  ChildScript& Ask() { return Step("ask", {}); }
  ChildScript& Drain() { return Step("drain", {}); }
  ChildScript& Echo() { return Step("echo", {}); }
  ChildScript& CloseOutput() { return Step("closeout", {}); }
  // The child's output ends and everything written to its input is recorded: the common ending.
  ChildScript& Finish() { return CloseOutput().Drain(); }
  ChildScript& Sleep(int milliseconds) { return Step("sleep", std::to_string(milliseconds)); }
  ChildScript& RunUntilTerminated() { return Sleep(60000); }
  ChildScript& Exit(int code) { return Step("exit", std::to_string(code)); }
  std::string Text() const;

 private:
  ChildScript& Step(std::string_view verb, std::string_view value);
  std::vector<std::string> steps_;
};

// What a stand-in child wrote into its report folder.
class ChildReport {
 public:
  explicit ChildReport(std::filesystem::path directory) : directory_(std::move(directory)) {}
  bool Exists() const { return std::filesystem::exists(directory_ / "args"); }
  std::string StandardInput() const { return Read("stdin"); }
  std::vector<std::string> Arguments() const { return Split(Read("args")); }
  std::string RawCommandLine() const { return Read("cmdline"); }
  std::string WorkingDirectory() const { return Read("cwd"); }
  std::vector<std::string> Environment() const { return Split(Read("env")); }
  std::string Stamps() const { return Read("stamps"); }

 private:
  std::string Read(const char* name) const;
  static std::vector<std::string> Split(const std::string& zero_ended);
  std::filesystem::path directory_;
};

std::string Utf8(const std::filesystem::path& path);
// The UTF-8 text of ExecutableDirectory().
std::string ChildProgramDirectory();

// Waits until `condition` holds. False on time-out.
[[nodiscard]] bool WaitUntil(const std::function<bool()>& condition,
                             std::chrono::milliseconds timeout = std::chrono::seconds(20));

// Waits until every started worker has finished. False on time-out.
[[nodiscard]] bool WaitForWorkers(std::chrono::milliseconds timeout = std::chrono::seconds(30));

// A platform thread, a listener record per stream, log capture, a scratch folder, and a clean
// VpnState; what is left running is stopped afterwards.
class VpnTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  void ListenOpenConnect();
  void ListenXray();

  std::shared_ptr<testing_support::MethodAnswer> Call(const std::string& method,
                                                      flutter::EncodableValue arguments);
  // A toggle that must be answered with Success(0).
  void ToggleOpenConnect(const std::string& server, const std::string& user_name = "user",
                         const std::string& password = "secret");
  void ToggleXray(const std::string& configuration);

  // Standard output without the control handler's "toggleVPN END" lines, which the test thread
  // writes while workers write theirs.
  std::string WorkerOut() const;

  // Waits for every worker and for the events they posted to be delivered.
  void Settle();
  std::filesystem::path NewReportDirectory();

  testing_support::LogCapture log_;
  std::shared_ptr<testing_support::QueueTaskRunner> platform_;
  std::shared_ptr<testing_support::EventRecord> open_connect_events_;
  std::shared_ptr<testing_support::EventRecord> xray_events_;
  std::filesystem::path scratch_;

 private:
  int reports_ = 0;
};

}  // namespace vpn_testing

#endif  // QUORVANTA_TESTS_VPN_VPN_TEST_FIXTURE_H_
