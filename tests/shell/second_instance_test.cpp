#include <gtest/gtest.h>

#include <chrono>
#include <ostream>
#include <vector>

#include "shell/win32_window.h"
#include "tests/fakes/recording_engine.h"
#include "tests/shell/child_role.h"
#include "tests/shell/message_pump.h"
#include "tests/shell/recording_window.h"
#include "tests/support/log_capture.h"

namespace shell_testing {
namespace {

constexpr auto kChildTimeout = std::chrono::seconds(60);

int CountOwnWindows() {
  int count = 0;
  EnumWindows(
      [](HWND window, LPARAM counter) -> BOOL {
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        *reinterpret_cast<int*>(counter) += process == GetCurrentProcessId() ? 1 : 0;
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&count));
  return count;
}

// A second instance of the program: it must be refused without preparing any window. Exits with
// 0 when it was, else with a code naming the first thing it did wrong.
int RunSecondInstance() {
  testing_fakes::RecordingEngine engine;
  testing_support::LogCapture log;
  {
    Win32Window window;
    if (window.Create(L"Quorvanta", kOrigin, kSize)) {
      return 10;
    }
    if (window.GetHandle() != nullptr || TopLevelClassRegistered()) {
      return 11;
    }
  }
  if (!engine.Calls().empty()) {
    return 12;
  }
  if (CountOwnWindows() != 0) {
    return 13;
  }
  return log.Out().empty() && log.Err().empty() ? 0 : 14;
}

const bool kSecondInstanceRegistered = RegisterChildRole("second-instance", &RunSecondInstance);

struct ActivationCase {
  const char* name;
  // Applied to the running instance's window before the second instance starts.
  std::vector<int> show_commands;
  UINT placement_before;
  bool zoomed_after;
};

void PrintTo(const ActivationCase& activation, std::ostream* out) { *out << activation.name; }

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
  for (const int show_command : activation.show_commands) {
    ShowWindow(handle, show_command);
  }
  WINDOWPLACEMENT placement{};
  placement.length = sizeof(placement);
  ASSERT_TRUE(GetWindowPlacement(handle, &placement));
  ASSERT_EQ(placement.showCmd, activation.placement_before);
  ASSERT_EQ(IsWindowVisible(handle) != FALSE, activation.show_commands.back() != SW_HIDE);
  // The running instance must come in front of this one.
  const base::ScopedWindow other = MakeOtherWindowActive();
  ASSERT_TRUE(IsAbove(other.Get(), handle));
  ASSERT_EQ(GetForegroundWindow(), other.Get());
  const int own_windows_before = CountOwnWindows();

  const ChildRun second = RunSelfAs("second-instance", L"", kChildTimeout);
  DispatchPendingMessages();

  ASSERT_TRUE(second.exited_in_time);
  EXPECT_EQ(second.exit_code, 0u) << second.output;
  EXPECT_TRUE(IsWindowVisible(handle));
  EXPECT_FALSE(IsIconic(handle));
  EXPECT_EQ(IsZoomed(handle) != FALSE, activation.zoomed_after);
  EXPECT_TRUE(IsAbove(handle, other.Get()));
  EXPECT_EQ(GetForegroundWindow(), handle);
  // The second instance made no window in our process either.
  EXPECT_EQ(CountOwnWindows(), own_windows_before);
}

INSTANTIATE_TEST_SUITE_P(
    RunningWindow, SecondInstanceTest,
    testing::Values(ActivationCase{"Normal", {SW_HIDE}, SW_SHOWNORMAL, false},
                    ActivationCase{"Minimized", {SW_MINIMIZE, SW_HIDE}, SW_SHOWMINIMIZED, false},
                    ActivationCase{"Maximized", {SW_MAXIMIZE, SW_HIDE}, SW_SHOWMAXIMIZED, true},
                    // A minimized window comes back in the state it was minimized from.
                    ActivationCase{"MinimizedFromMaximized",
                                   {SW_MAXIMIZE, SW_MINIMIZE, SW_HIDE},
                                   SW_SHOWMINIMIZED,
                                   true},
                    // Showing changes nothing for a visible window behind another: raising and
                    // bringing to the foreground must do the work.
                    ActivationCase{"VisibleBehind", {SW_SHOWNORMAL}, SW_SHOWNORMAL, false}),
    [](const testing::TestParamInfo<ActivationCase>& info) { return info.param.name; });

TEST(SecondInstanceWithoutWindowTest, IsRefusedEvenWhenTheRunningInstanceHasNoWindow) {
  testing_fakes::RecordingEngine engine;
  {
    // Takes the single-instance mutex for this process, then leaves no window titled Quorvanta.
    RecordingWindow running;
    ASSERT_TRUE(running.Create(L"Quorvanta", kOrigin, kSize));
  }
  ASSERT_EQ(FindWindowA(nullptr, "Quorvanta"), nullptr);

  const ChildRun second = RunSelfAs("second-instance", L"", kChildTimeout);

  ASSERT_TRUE(second.exited_in_time);
  EXPECT_EQ(second.exit_code, 0u) << second.output;
}

}  // namespace
}  // namespace shell_testing
