#include <gtest/gtest.h>

#include <array>
#include <ostream>
#include <string>

#include "base/scoped_generic.h"
#include "shell/win32_window.h"
#include "tests/fakes/recording_engine.h"
#include "tests/shell/recording_window.h"

namespace shell_testing {
namespace {

// Left, top, right, bottom: comparable, and printed when a comparison fails.
using Corners = std::array<LONG, 4>;

Corners CornersOf(const RECT& rect) { return {rect.left, rect.top, rect.right, rect.bottom}; }

Corners WindowCorners(HWND window) {
  RECT rect{};
  GetWindowRect(window, &rect);
  return CornersOf(rect);
}

// The rectangle of `child` in the client coordinates of its parent.
Corners CornersInParent(HWND child) {
  RECT rect{};
  GetWindowRect(child, &rect);
  MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&rect), 2);
  return CornersOf(rect);
}

// A child window like the embedder's view, parked until the host re-parents (and later
// destroys) it.
HWND MakeContent() { return testing_fakes::CreateFakeViewWindow(100, 80); }

class Win32WindowTest : public testing::Test {
 protected:
  void TearDown() override {
    int exit_code = 0;
    while (TakeQuitMessage(&exit_code)) {
    }
  }

  testing_fakes::RecordingEngine engine_;
};

struct ScalingCase {
  uint32_t dpi;
  Win32Window::Point origin;
  Corners expected;
};

void PrintTo(const ScalingCase& scaling, std::ostream* out) { *out << scaling.dpi << " DPI"; }

class Win32WindowScalingTest : public Win32WindowTest,
                               public testing::WithParamInterface<ScalingCase> {};

TEST_P(Win32WindowScalingTest, CreatesTheWindowHiddenAtTheScaledPositionAndSize) {
  const ScalingCase& scaling = GetParam();
  engine_.SetDpi(scaling.dpi);
  RecordingWindow window;

  ASSERT_TRUE(window.Create(L"Scaled window", scaling.origin, kSize));

  HWND handle = window.GetHandle();
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(window.on_create_calls, 1);
  EXPECT_EQ(window.handle_during_on_create, handle);
  EXPECT_EQ(WindowCorners(handle), scaling.expected);
  EXPECT_FALSE(IsWindowVisible(handle));
  EXPECT_EQ(GetWindowLongW(handle, GWL_STYLE) & (WS_OVERLAPPEDWINDOW | WS_VISIBLE),
            WS_OVERLAPPEDWINDOW);

  // The DPI is that of the monitor nearest to the unscaled origin.
  const auto calls = engine_.Calls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].function, "FlutterDesktopGetDpiForMonitor");
  EXPECT_EQ(calls[0].handle,
            MonitorFromPoint(POINT{scaling.origin.x, scaling.origin.y}, MONITOR_DEFAULTTONEAREST));
}

INSTANTIATE_TEST_SUITE_P(
    Dpi, Win32WindowScalingTest,
    testing::Values(ScalingCase{96, kOrigin, Corners{10, 10, 370, 700}},
                    // 862.5 is truncated.
                    ScalingCase{120, kOrigin, Corners{12, 12, 462, 874}},
                    ScalingCase{144, kOrigin, Corners{15, 15, 555, 1050}},
                    // Toward zero, not down: -10.42 gives -10; 718.75 gives 718.
                    ScalingCase{100, Win32Window::Point{-10, 10}, Corners{-10, 10, 365, 728}}),
    [](const testing::TestParamInfo<ScalingCase>& info) {
      return "Dpi" + std::to_string(info.param.dpi) + (info.param.origin.x < 0 ? "Negative" : "");
    });

struct HookTraits : base::NullMeansNoneTraits<HHOOK> {
  static void Free(HHOOK hook) { UnhookWindowsHookEx(hook); }
};

LRESULT CALLBACK RefuseCreation(int code, WPARAM wparam, LPARAM lparam) {
  return code == HCBT_CREATEWND ? 1 : CallNextHookEx(nullptr, code, wparam, lparam);
}

// Makes every window creation of this thread fail while the hook lasts.
base::ScopedGeneric<HookTraits> RefuseWindowCreation() {
  return base::ScopedGeneric<HookTraits>(
      SetWindowsHookExW(WH_CBT, &RefuseCreation, nullptr, GetCurrentThreadId()));
}

TEST_F(Win32WindowTest, CreateFailsWithoutTheCreateHookWhenNoNativeWindowCanBeMade) {
  RecordingWindow window;
  {
    const auto refusal = RefuseWindowCreation();
    EXPECT_FALSE(window.Create(L"Never made", kOrigin, kSize));
  }
  EXPECT_EQ(window.on_create_calls, 0);
  EXPECT_EQ(window.GetHandle(), nullptr);
}

TEST_F(Win32WindowTest, CreatingAgainReplacesTheEarlierNativeWindow) {
  RecordingWindow window;
  ASSERT_TRUE(window.Create(L"First", kOrigin, kSize));
  HWND first = window.GetHandle();

  // The process already holds the single-instance mutex; that is not another instance.
  ASSERT_TRUE(window.Create(L"Second", kOrigin, kSize));
  EXPECT_FALSE(IsWindow(first));
  EXPECT_TRUE(IsWindow(window.GetHandle()));
  EXPECT_EQ(window.on_create_calls, 2);
}

TEST_F(Win32WindowTest, CloseOnlyHidesTheWindow) {
  RecordingWindow window;
  window.SetQuitOnDestroy(true);
  ASSERT_TRUE(window.Create(L"Closable", kOrigin, kSize));
  HWND handle = window.GetHandle();
  HWND content = MakeContent();
  window.AttachContent(content);
  ShowWindow(handle, SW_SHOWNORMAL);
  const Corners before = WindowCorners(handle);
  const Corners content_before = CornersInParent(content);
  const int destroy_hooks_before = window.on_destroy_calls;

  EXPECT_EQ(SendMessageW(handle, WM_CLOSE, 0, 0), 0);

  EXPECT_FALSE(IsWindowVisible(handle));
  EXPECT_EQ(window.GetHandle(), handle);
  EXPECT_EQ(WindowCorners(handle), before);
  EXPECT_EQ(GetParent(content), handle);
  EXPECT_EQ(CornersInParent(content), content_before);
  EXPECT_EQ(window.on_destroy_calls, destroy_hooks_before);
  int exit_code = 0;
  EXPECT_FALSE(TakeQuitMessage(&exit_code));
}

TEST_F(Win32WindowTest, AttachedContentFillsTheClientAreaFollowsResizesAndTakesTheFocus) {
  RecordingWindow window;
  ASSERT_TRUE(window.Create(L"Host", kOrigin, kSize));
  HWND handle = window.GetHandle();
  ShowWindow(handle, SW_SHOWNORMAL);
  HWND content = MakeContent();
  ASSERT_NE(content, nullptr);

  window.AttachContent(content);
  EXPECT_EQ(GetParent(content), handle);
  EXPECT_EQ(GetFocus(), content);
  const RECT attached = window.ClientArea();
  EXPECT_EQ(CornersInParent(content), CornersOf(attached));

  SetWindowPos(handle, nullptr, 0, 0, 640, 520, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  const RECT resized = window.ClientArea();
  EXPECT_EQ(resized.right - attached.right, 640 - kSize.width);
  EXPECT_EQ(resized.bottom - attached.bottom, 520 - kSize.height);
  EXPECT_EQ(CornersInParent(content), CornersOf(resized));

  SetFocus(handle);
  ASSERT_EQ(GetFocus(), handle);
  EXPECT_EQ(SendMessageW(handle, WM_ACTIVATE, WA_ACTIVE, 0), 0);
  EXPECT_EQ(GetFocus(), content);
}

TEST_F(Win32WindowTest, DpiChangeAppliesTheSuggestedRectangleWithoutActivating) {
  RecordingWindow window;
  ASSERT_TRUE(window.Create(L"Dpi change", kOrigin, kSize));
  HWND handle = window.GetHandle();
  ShowWindow(handle, SW_SHOWNOACTIVATE);
  const base::ScopedWindow other = MakeOtherWindowActive();
  ASSERT_EQ(GetActiveWindow(), other.Get());
  ASSERT_TRUE(IsAbove(other.Get(), handle));

  RECT suggested{40, 30, 40 + 540, 30 + 700};
  EXPECT_EQ(SendMessageW(handle, WM_DPICHANGED, MAKEWPARAM(144, 144),
                         reinterpret_cast<LPARAM>(&suggested)),
            0);

  EXPECT_EQ(WindowCorners(handle), CornersOf(suggested));
  EXPECT_EQ(GetActiveWindow(), other.Get());
  EXPECT_TRUE(IsAbove(other.Get(), handle));

  // A change without a suggested rectangle leaves the window where it is.
  EXPECT_EQ(SendMessageW(handle, WM_DPICHANGED, MAKEWPARAM(96, 96), 0), 0);
  EXPECT_EQ(WindowCorners(handle), CornersOf(suggested));
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
    int exit_code = -1;
    EXPECT_EQ(TakeQuitMessage(&exit_code), quit_on_destroy);
    EXPECT_EQ(exit_code, quit_on_destroy ? 0 : -1);
    // The class outlives the native window while the object exists.
    EXPECT_TRUE(TopLevelClassRegistered());
  }
}

TEST_F(Win32WindowTest, ClassIsRegisteredWithTheIconWhileAWindowObjectExists) {
  ASSERT_FALSE(TopLevelClassRegistered());
  {
    RecordingWindow first;
    EXPECT_FALSE(TopLevelClassRegistered());
    ASSERT_TRUE(first.Create(L"First", kOrigin, kSize));
    WNDCLASSEXW info{};
    info.cbSize = sizeof(info);
    ASSERT_TRUE(GetClassInfoExW(GetModuleHandleW(nullptr), L"FLUTTER_RUNNER_WIN32_WINDOW", &info));
    // This test program carries the application's icon resource.
    EXPECT_NE(info.hIcon, nullptr);
    EXPECT_EQ(info.hCursor, LoadCursorW(nullptr, IDC_ARROW));
    {
      RecordingWindow second;
      ASSERT_TRUE(second.Create(L"Second", kOrigin, kSize));
      first.Destroy();
      EXPECT_TRUE(TopLevelClassRegistered());
    }
    EXPECT_TRUE(TopLevelClassRegistered());
  }
  EXPECT_FALSE(TopLevelClassRegistered());

  // Registered again for the next window.
  RecordingWindow later;
  ASSERT_TRUE(later.Create(L"Later", kOrigin, kSize));
  EXPECT_TRUE(TopLevelClassRegistered());
}

}  // namespace
}  // namespace shell_testing
