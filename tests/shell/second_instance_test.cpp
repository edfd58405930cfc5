#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>

#include "shell/win32_window.h"
#include "tests/fakes/recording_engine.h"
#include "tests/shell/child_role.h"
#include "tests/shell/recording_window.h"
#include "tests/support/log_capture.h"

namespace shell_testing {
namespace {

constexpr Win32Window::Point kOrigin{10, 10};
constexpr Win32Window::Size kSize{360, 690};
constexpr auto kChildTimeout = std::chrono::seconds(60);

// Exit codes of the second instance; 0 means it behaved.
enum SecondInstanceResult : int {
  kRefused = 0,
  kCreated = 10,
  kKeptAHandle = 11,
  kRegisteredTheClass = 12,
  kAskedTheEmbedder = 13,
  kMadeAWindow = 14,
  kPrinted = 15,
};

BOOL CALLBACK CountOwnWindows(HWND window, LPARAM count) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process == GetCurrentProcessId()) {
    ++*reinterpret_cast<int*>(count);
  }
  return TRUE;
}

// A second instance of the program: it must be refused without preparing any window.
int RunSecondInstance() {
  testing_fakes::RecordingEngine engine;
  testing_support::LogCapture log;
  {
    Win32Window window;
    if (window.Create(L"Quorvanta", kOrigin, kSize)) {
      return kCreated;
    }
    if (window.GetHandle() != nullptr) {
      return kKeptAHandle;
    }
    if (TopLevelClassRegistered()) {
      return kRegisteredTheClass;
    }
  }
  if (!engine.Calls().empty()) {
    return kAskedTheEmbedder;
  }
  int own_windows = 0;
  EnumWindows(&CountOwnWindows, reinterpret_cast<LPARAM>(&own_windows));
  if (own_windows != 0) {
    return kMadeAWindow;
  }
  if (!log.Out().empty() || !log.Err().empty()) {
    return kPrinted;
  }
  return kRefused;
}

const bool kSecondInstanceRegistered = RegisterChildRole("second-instance", &RunSecondInstance);

enum class Placement { kNormal, kMinimized, kMaximized, kMinimizedFromMaximized, kVisible };

struct ActivationCase {
  Placement state;
  UINT placement_before;
  bool zoomed_after;
  const char* name;
};

class SecondInstanceTest : public testing::TestWithParam<ActivationCase> {
 protected:
  testing_fakes::RecordingEngine engine_;
};

TEST_P(SecondInstanceTest, IsRefusedAndBringsTheRunningInstancesWindowToTheFront) {
  ASSERT_TRUE(kSecondInstanceRegistered);
  const ActivationCase& activation = GetParam();
  RecordingWindow running;
  ASSERT_TRUE(running.Create(L"Quorvanta", kOrigin, kSize));
  HWND handle = running.GetHandle();
  switch (activation.state) {
    case Placement::kNormal:
      break;
    case Placement::kMinimized:
      ShowWindow(handle, SW_MINIMIZE);
      break;
    case Placement::kMaximized:
      ShowWindow(handle, SW_MAXIMIZE);
      break;
    case Placement::kMinimizedFromMaximized:
      ShowWindow(handle, SW_MAXIMIZE);
      ShowWindow(handle, SW_MINIMIZE);
      break;
    case Placement::kVisible:
      ShowWindow(handle, SW_SHOWNORMAL);
      break;
  }
  if (activation.state != Placement::kVisible) {
    ShowWindow(handle, SW_HIDE);
  }
  WINDOWPLACEMENT placement{};
  placement.length = sizeof(placement);
  ASSERT_TRUE(GetWindowPlacement(handle, &placement));
  ASSERT_EQ(placement.showCmd, activation.placement_before);
  ASSERT_EQ(IsWindowVisible(handle) != FALSE, activation.state == Placement::kVisible);
  // Another window, on top and active, that the running instance must come in front of.
  OtherWindow other;
  SetActiveWindow(other.Get());
  SetWindowPos(other.Get(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  ASSERT_TRUE(IsAbove(other.Get(), handle));
  ASSERT_EQ(GetForegroundWindow(), other.Get());
  const int own_windows_before = [] {
    int count = 0;
    EnumWindows(&CountOwnWindows, reinterpret_cast<LPARAM>(&count));
    return count;
  }();

  const ChildRun second = RunSelfAs("second-instance", L"", kChildTimeout);
  DispatchPendingMessages();

  ASSERT_TRUE(second.exited_in_time);
  EXPECT_EQ(second.exit_code, static_cast<DWORD>(kRefused)) << second.output;
  EXPECT_TRUE(IsWindowVisible(handle));
  EXPECT_FALSE(IsIconic(handle));
  EXPECT_EQ(IsZoomed(handle) != FALSE, activation.zoomed_after);
  EXPECT_TRUE(IsAbove(handle, other.Get()));
  EXPECT_EQ(GetForegroundWindow(), handle);
  // Our own windows are all there is: the second instance left none behind in our process.
  int own_windows_after = 0;
  EnumWindows(&CountOwnWindows, reinterpret_cast<LPARAM>(&own_windows_after));
  EXPECT_EQ(own_windows_after, own_windows_before);
}

INSTANTIATE_TEST_SUITE_P(
    RunningWindow, SecondInstanceTest,
    testing::Values(ActivationCase{Placement::kNormal, SW_SHOWNORMAL, false, "Normal"},
                    ActivationCase{Placement::kMinimized, SW_SHOWMINIMIZED, false, "Minimized"},
                    ActivationCase{Placement::kMaximized, SW_SHOWMAXIMIZED, true, "Maximized"},
                    // A minimized window comes back in the state it was minimized from.
                    ActivationCase{Placement::kMinimizedFromMaximized, SW_SHOWMINIMIZED, true,
                                   "MinimizedFromMaximized"},
                    // Showing changes nothing for a visible window behind another: raising and
                    // bringing to the foreground must do the work.
                    ActivationCase{Placement::kVisible, SW_SHOWNORMAL, false, "VisibleBehind"}),
    [](const testing::TestParamInfo<ActivationCase>& info) { return info.param.name; });

TEST(SecondInstanceWithoutWindowTest, IsRefusedEvenWhenTheRunningInstanceHasNoWindowYet) {
  testing_fakes::RecordingEngine engine;
  {
    // Takes the single-instance mutex for this process, then leaves no window titled Quorvanta.
    RecordingWindow running;
    ASSERT_TRUE(running.Create(L"Quorvanta", kOrigin, kSize));
  }
  ASSERT_EQ(FindWindowA(nullptr, "Quorvanta"), nullptr);

  const ChildRun second = RunSelfAs("second-instance", L"", kChildTimeout);

  ASSERT_TRUE(second.exited_in_time);
  EXPECT_EQ(second.exit_code, static_cast<DWORD>(kRefused)) << second.output;
}

}  // namespace
}  // namespace shell_testing
