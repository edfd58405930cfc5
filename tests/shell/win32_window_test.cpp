#include <gtest/gtest.h>

#include <windows.h>

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "base/scoped_win32.h"
#include "shell/win32_window.h"
#include "tests/fakes/recording_engine.h"
#include "tests/shell/shell_test_helpers.h"
#include "tests/support/log_capture.h"

namespace shell_testing {
namespace {

// Where and how large the program creates its window, in logical units.
constexpr Win32Window::Point kOrigin{10, 10};
constexpr Win32Window::Size kSize{360, 690};

// Left, top, right, bottom: comparable, and printed when a comparison fails.
using Corners = std::array<LONG, 4>;

Corners CornersOf(const RECT& rect) { return {rect.left, rect.top, rect.right, rect.bottom}; }

// The window's rectangle on the screen, or in the client coordinates of `parent`.
Corners WindowCorners(HWND window, HWND parent = nullptr) {
  RECT rect{};
  GetWindowRect(window, &rect);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
  return CornersOf(rect);
}

// The class of the shell's top-level windows, while it is registered in this process.
std::optional<WNDCLASSW> TopLevelClass() {
  WNDCLASSW info{};
  if (!GetClassInfoW(GetModuleHandleW(nullptr), L"FLUTTER_RUNNER_WIN32_WINDOW", &info)) return {};
  return info;
}

// Whether `upper` comes before `lower` in the Z-order of top-level windows.
bool IsAbove(HWND upper, HWND lower) {
  for (HWND window = GetWindow(upper, GW_HWNDNEXT); window != nullptr;
       window = GetWindow(window, GW_HWNDNEXT)) {
    if (window == lower) return true;
  }
  return false;
}

// A visible window of another class, on top and active, to compare activation and Z-order with.
base::ScopedWindow MakeOtherWindowActive() {
  base::ScopedWindow other(CreateWindowExW(0, L"STATIC", L"Other window",
                                           WS_OVERLAPPEDWINDOW | WS_VISIBLE, 600, 100, 200, 150,
                                           nullptr, nullptr, GetModuleHandleW(nullptr), nullptr));
  SetActiveWindow(other.Get());
  SetWindowPos(other.Get(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  return other;
}

// A top-level window that records the calls of its hooks.
class RecordingWindow : public Win32Window {
 public:
  int on_create_calls = 0;
  int on_destroy_calls = 0;

 protected:
  bool OnCreate() override {
    ++on_create_calls;
    return true;
  }
  void OnDestroy() override { ++on_destroy_calls; }
};

class Win32WindowTest : public testing::Test {
 protected:
  testing_fakes::RecordingEngine engine_;
};

TEST_F(Win32WindowTest, CreatesTheWindowHiddenScaledForTheDpiOfTheMonitorNearestItsOrigin) {
  struct Row {
    uint32_t dpi;
    Win32Window::Point origin;
    Corners expected;
  };
  const Row rows[] = {{96, kOrigin, {10, 10, 370, 700}},
                      // 862.5 is truncated.
                      {120, kOrigin, {12, 12, 462, 874}},
                      {144, kOrigin, {15, 15, 555, 1050}},
                      // Toward zero, not down: -10.42 gives -10; 718.75 gives 718.
                      {100, {-10, 10}, {-10, 10, 365, 728}}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.dpi);
    engine_.dpi = row.dpi;
    engine_.calls.clear();
    RecordingWindow window;
    ASSERT_TRUE(window.Create(L"Scaled window", row.origin, kSize));

    HWND handle = window.GetHandle();
    EXPECT_EQ(window.on_create_calls, 1);
    EXPECT_EQ(WindowCorners(handle), row.expected);
    EXPECT_EQ(GetWindowLongW(handle, GWL_STYLE) & (WS_OVERLAPPEDWINDOW | WS_VISIBLE),
              WS_OVERLAPPEDWINDOW);
    const HMONITOR monitor =
        MonitorFromPoint(POINT{row.origin.x, row.origin.y}, MONITOR_DEFAULTTONEAREST);
    EXPECT_EQ(engine_.calls,
              std::vector<std::string>{"GetDpiForMonitor(" + engine_.Name(monitor) + ")"});
  }
}

TEST_F(Win32WindowTest, ContentFillsTheClientAreaThroughADpiChangeThatNeitherActivatesNorRaises) {
  RecordingWindow window;
  ASSERT_TRUE(window.Create(L"Host", kOrigin, kSize));
  HWND handle = window.GetHandle();
  ShowWindow(handle, SW_SHOWNORMAL);
  HWND content = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 0, 0, 100, 80,
                                 HWND_MESSAGE, nullptr, nullptr, nullptr);
  window.AttachContent(content);
  EXPECT_EQ(GetParent(content), handle);
  EXPECT_EQ(GetFocus(), content);
  EXPECT_EQ(WindowCorners(content, handle), CornersOf(window.ClientArea()));
  SetFocus(handle);
  EXPECT_EQ(SendMessageW(handle, WM_ACTIVATE, WA_ACTIVE, 0), 0);
  EXPECT_EQ(GetFocus(), content);

  const base::ScopedWindow other = MakeOtherWindowActive();
  ASSERT_TRUE(IsAbove(other.Get(), handle));
  RECT suggested{40, 30, 40 + 540, 30 + 700};
  EXPECT_EQ(SendMessageW(handle, WM_DPICHANGED, MAKEWPARAM(144, 144),
                         reinterpret_cast<LPARAM>(&suggested)),
            0);
  EXPECT_EQ(WindowCorners(handle), CornersOf(suggested));
  const RECT resized = window.ClientArea();
  EXPECT_GT(resized.right, kSize.width);
  EXPECT_EQ(WindowCorners(content, handle), CornersOf(resized));
  EXPECT_EQ(GetActiveWindow(), other.Get());
  EXPECT_TRUE(IsAbove(other.Get(), handle));
}

TEST_F(Win32WindowTest, DestructionOfTheNativeWindowPostsQuitOnlyWhenAsked) {
  for (const bool quit_on_destroy : {false, true}) {
    SCOPED_TRACE(quit_on_destroy);
    RecordingWindow window;
    window.SetQuitOnDestroy(quit_on_destroy);
    ASSERT_TRUE(window.Create(L"Destroyed", kOrigin, kSize));
    const int destroy_hooks_before = window.on_destroy_calls;
    DestroyWindow(window.GetHandle());
    EXPECT_EQ(window.GetHandle(), nullptr);
    EXPECT_EQ(window.on_destroy_calls, destroy_hooks_before + 1);
    MSG quit{};
    EXPECT_EQ(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE, quit_on_destroy);
    EXPECT_EQ(quit.wParam, 0u);
    // The class outlives the native window while the object exists.
    EXPECT_TRUE(TopLevelClass().has_value());
  }
}

TEST_F(Win32WindowTest, TheClassLastsWhileAnyWindowObjectExistsAndCreateReplacesTheWindow) {
  {
    RecordingWindow first;
    ASSERT_TRUE(first.Create(L"First", kOrigin, kSize));
    HWND replaced = first.GetHandle();
    // The process already holds the single-instance mutex; that is not another instance.
    ASSERT_TRUE(first.Create(L"First again", kOrigin, kSize));
    EXPECT_FALSE(IsWindow(replaced));
    // This test program carries the application's icon resource.
    ASSERT_TRUE(TopLevelClass().has_value());
    EXPECT_NE(TopLevelClass()->hIcon, nullptr);
    {
      RecordingWindow second;
      ASSERT_TRUE(second.Create(L"Second", kOrigin, kSize));
      first.Destroy();
    }
    EXPECT_TRUE(TopLevelClass().has_value());
  }
  EXPECT_FALSE(TopLevelClass().has_value());
  // Registered again for the next window.
  RecordingWindow later;
  ASSERT_TRUE(later.Create(L"Later", kOrigin, kSize));
  EXPECT_TRUE(TopLevelClass().has_value());
}

// A second instance of the program, with the real named mutex and the real window search: it must
// be refused before it registers the class, asks for the DPI or makes a window. Exits with 0
// when it was, else with a code naming the first thing it did wrong.
int RunSecondInstance() {
  testing_fakes::RecordingEngine engine;
  testing_support::LogCapture log;
  {
    Win32Window window;
    if (window.Create(L"Quorvanta", kOrigin, kSize)) return 10;
    if (window.GetHandle() != nullptr || TopLevelClass().has_value()) return 11;
  }
  if (!engine.calls.empty()) return 12;
  return log.Out().empty() && log.Err().empty() ? 0 : 13;
}

const bool kSecondInstanceRegistered = RegisterChildRole("second-instance", &RunSecondInstance);

TEST_F(Win32WindowTest, ASecondInstanceIsRefusedAndBringsTheRunningWindowToTheFront) {
  ASSERT_TRUE(kSecondInstanceRegistered);
  struct Row {
    const char* name;
    // Applied to the running instance's window before the second instance starts.
    std::vector<int> show_commands;
    UINT placement_before;
    bool zoomed_after;
  };
  const Row rows[] = {
      {"normal", {SW_HIDE}, SW_SHOWNORMAL, false},
      {"minimized", {SW_MINIMIZE, SW_HIDE}, SW_SHOWMINIMIZED, false},
      // A minimized window comes back in the state it was minimized from.
      {"minimized from maximized", {SW_MAXIMIZE, SW_MINIMIZE, SW_HIDE}, SW_SHOWMINIMIZED, true},
      // Showing changes nothing for a visible window behind another: raising and bringing to the
      // foreground must do the work.
      {"visible behind", {SW_SHOWNORMAL}, SW_SHOWNORMAL, false}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Win32Window running;
    ASSERT_TRUE(running.Create(L"Quorvanta", kOrigin, kSize));
    HWND handle = running.GetHandle();
    for (const int show_command : row.show_commands) ShowWindow(handle, show_command);
    WINDOWPLACEMENT placement{};
    placement.length = sizeof(placement);
    ASSERT_TRUE(GetWindowPlacement(handle, &placement));
    ASSERT_EQ(placement.showCmd, row.placement_before);
    const base::ScopedWindow other = MakeOtherWindowActive();
    ASSERT_EQ(GetForegroundWindow(), other.Get());

    const ChildRun second = RunSelfAs("second-instance");
    PumpMessagesFor(std::chrono::milliseconds(0));

    ASSERT_TRUE(second.exited_in_time);
    EXPECT_EQ(second.exit_code, 0u) << second.output;
    EXPECT_TRUE(IsWindowVisible(handle));
    EXPECT_FALSE(IsIconic(handle));
    EXPECT_EQ(IsZoomed(handle) != FALSE, row.zoomed_after);
    EXPECT_TRUE(IsAbove(handle, other.Get()));
    EXPECT_EQ(GetForegroundWindow(), handle);
  }
  // This process still holds the mutex, under the name other builds of the program look for, but
  // no window titled Quorvanta is left.
  const base::ScopedHandle mutex(OpenMutexW(SYNCHRONIZE, FALSE, L"my.mutex.name"));
  EXPECT_TRUE(mutex.IsValid());
  ASSERT_EQ(FindWindowA(nullptr, "Quorvanta"), nullptr);
  const ChildRun second = RunSelfAs("second-instance");
  ASSERT_TRUE(second.exited_in_time);
  EXPECT_EQ(second.exit_code, 0u) << second.output;
}

}  // namespace
}  // namespace shell_testing
