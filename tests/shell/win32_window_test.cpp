#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "shell/win32_window.h"
#include "tests/fakes/recording_engine.h"
#include "tests/shell/recording_window.h"

namespace shell_testing {
namespace {

using testing::ElementsAre;

constexpr Win32Window::Point kOrigin{10, 10};
constexpr Win32Window::Size kSize{360, 690};

RECT WindowRect(HWND window) {
  RECT rect{};
  GetWindowRect(window, &rect);
  return rect;
}

// The rectangle of `child` in the client coordinates of its parent.
RECT RectInParent(HWND child) {
  RECT rect = WindowRect(child);
  MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

testing::AssertionResult SameRect(const RECT& actual, const RECT& expected) {
  if (EqualRect(&actual, &expected)) {
    return testing::AssertionSuccess();
  }
  return testing::AssertionFailure()
         << "(" << actual.left << ", " << actual.top << ")-(" << actual.right << ", "
         << actual.bottom << ") instead of (" << expected.left << ", " << expected.top << ")-("
         << expected.right << ", " << expected.bottom << ")";
}

// The native window of a view made through the embedder's functions, as the host window gets it.
HWND MakeViewWindow() {
  FlutterDesktopEngineProperties properties{};
  properties.assets_path = L"data\\flutter_assets";
  properties.icu_data_path = L"data\\icudtl.dat";
  properties.aot_library_path = L"data\\app.so";
  properties.dart_entrypoint = "";
  FlutterDesktopViewControllerRef controller =
      FlutterDesktopViewControllerCreate(100, 80, FlutterDesktopEngineCreate(&properties));
  return FlutterDesktopViewGetHWND(FlutterDesktopViewControllerGetView(controller));
}

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
  RECT expected;
};

class Win32WindowScalingTest : public Win32WindowTest,
                               public testing::WithParamInterface<ScalingCase> {};

TEST_P(Win32WindowScalingTest, CreatesTheWindowHiddenAtTheScaledPositionAndSize) {
  const ScalingCase& scaling = GetParam();
  engine_.SetDpi(scaling.dpi);
  RecordingWindow window;

  ASSERT_TRUE(window.Create(L"Scaled window", scaling.origin, kSize));

  HWND handle = window.GetHandle();
  ASSERT_NE(handle, nullptr);
  EXPECT_TRUE(SameRect(WindowRect(handle), scaling.expected));
  EXPECT_FALSE(IsWindowVisible(handle));
  EXPECT_EQ(GetWindowLongW(handle, GWL_STYLE) & (WS_OVERLAPPEDWINDOW | WS_VISIBLE),
            WS_OVERLAPPEDWINDOW);
  wchar_t class_name[64] = {};
  GetClassNameW(handle, class_name, 64);
  EXPECT_EQ(std::wstring(class_name), L"FLUTTER_RUNNER_WIN32_WINDOW");
  wchar_t title[64] = {};
  GetWindowTextW(handle, title, 64);
  EXPECT_EQ(std::wstring(title), L"Scaled window");

  // The DPI is that of the monitor nearest to the unscaled origin.
  const auto calls = engine_.Calls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].function, "FlutterDesktopGetDpiForMonitor");
  EXPECT_EQ(calls[0].handle,
            MonitorFromPoint(POINT{scaling.origin.x, scaling.origin.y}, MONITOR_DEFAULTTONEAREST));
}

INSTANTIATE_TEST_SUITE_P(
    Dpi, Win32WindowScalingTest,
    testing::Values(ScalingCase{96, kOrigin, RECT{10, 10, 370, 700}},
                    // 862.5 is truncated.
                    ScalingCase{120, kOrigin, RECT{12, 12, 462, 874}},
                    ScalingCase{144, kOrigin, RECT{15, 15, 555, 1050}},
                    // Toward zero, not down: -10.42 gives -10; 718.75 gives 718.
                    ScalingCase{100, Win32Window::Point{-10, 10}, RECT{-10, 10, 365, 728}}),
    [](const testing::TestParamInfo<ScalingCase>& info) {
      return "Dpi" + std::to_string(info.param.dpi) + (info.param.origin.x < 0 ? "Negative" : "");
    });

TEST_F(Win32WindowTest, RoutesTheWindowsMessagesToItsObject) {
  RecordingWindow window;
  ASSERT_TRUE(window.Create(L"Routed", kOrigin, kSize));
  HWND handle = window.GetHandle();

  EXPECT_EQ(window.on_create_calls, 1);
  EXPECT_EQ(window.handle_during_on_create, handle);
  EXPECT_EQ(GetWindowLongPtrW(handle, GWLP_USERDATA), reinterpret_cast<LONG_PTR>(&window));

  EXPECT_EQ(SendMessageW(handle, WM_APP + 7, 0, 0), 0);
  EXPECT_EQ(window.MessageCount(WM_APP + 7), 1);
  // Messages it does not treat itself get the default processing for this window.
  SendMessageW(handle, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"Renamed"));
  wchar_t title[32] = {};
  GetWindowTextW(handle, title, 32);
  EXPECT_EQ(std::wstring(title), L"Renamed");
}

TEST_F(Win32WindowTest, WithoutANativeWindowTheClientAreaIsEmpty) {
  RecordingWindow window;
  const RECT area = window.ClientArea();
  EXPECT_TRUE(SameRect(area, RECT{0, 0, 0, 0}));
}

TEST_F(Win32WindowTest, CreateFailsWhenTheCreateHookFails) {
  RecordingWindow window;
  window.on_create_result = false;

  EXPECT_FALSE(window.Create(L"Refused by hook", kOrigin, kSize));
  EXPECT_EQ(window.on_create_calls, 1);
  // The native window stays for the caller's failure path to destroy.
  EXPECT_TRUE(IsWindow(window.GetHandle()));
}

// Makes every window creation of this thread fail while it exists.
class WindowCreationRefusal {
 public:
  WindowCreationRefusal()
      : hook_(SetWindowsHookExW(WH_CBT, &Refuse, nullptr, GetCurrentThreadId())) {}
  ~WindowCreationRefusal() { UnhookWindowsHookEx(hook_); }
  bool Active() const { return hook_ != nullptr; }

 private:
  static LRESULT CALLBACK Refuse(int code, WPARAM wparam, LPARAM lparam) {
    if (code == HCBT_CREATEWND) {
      return 1;
    }
    return CallNextHookEx(nullptr, code, wparam, lparam);
  }
  HHOOK hook_;
};

TEST_F(Win32WindowTest, CreateFailsWithoutTheHookWhenNoNativeWindowCanBeMade) {
  RecordingWindow window;
  bool created = true;
  {
    WindowCreationRefusal refusal;
    ASSERT_TRUE(refusal.Active());
    created = window.Create(L"Never made", kOrigin, kSize);
  }
  EXPECT_FALSE(created);
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
  HWND content = MakeViewWindow();
  window.AttachContent(content);
  ShowWindow(handle, SW_SHOWNORMAL);
  const RECT before = WindowRect(handle);
  const RECT content_before = RectInParent(content);
  const int destroy_hooks_before = window.on_destroy_calls;

  EXPECT_EQ(SendMessageW(handle, WM_CLOSE, 0, 0), 0);

  EXPECT_FALSE(IsWindowVisible(handle));
  EXPECT_TRUE(IsWindow(handle));
  EXPECT_EQ(window.GetHandle(), handle);
  EXPECT_TRUE(SameRect(WindowRect(handle), before));
  EXPECT_EQ(GetParent(content), handle);
  EXPECT_TRUE(SameRect(RectInParent(content), content_before));
  EXPECT_EQ(window.on_destroy_calls, destroy_hooks_before);
  int exit_code = 0;
  EXPECT_FALSE(TakeQuitMessage(&exit_code));
}

TEST_F(Win32WindowTest, AttachedContentFillsTheClientAreaAndFollowsResizes) {
  RecordingWindow window;
  ASSERT_TRUE(window.Create(L"Host", kOrigin, kSize));
  HWND handle = window.GetHandle();
  HWND content = MakeViewWindow();
  ASSERT_NE(content, nullptr);
  RECT content_client{};
  GetClientRect(content, &content_client);

  // Before a child is attached a resize leaves the would-be content alone.
  SetWindowPos(handle, nullptr, 0, 0, 500, 400, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  EXPECT_GE(window.MessageCount(WM_SIZE), 1);
  RECT unchanged{};
  GetClientRect(content, &unchanged);
  EXPECT_TRUE(SameRect(unchanged, content_client));
  EXPECT_NE(GetParent(content), handle);

  window.AttachContent(content);
  EXPECT_EQ(GetParent(content), handle);
  const RECT attached = window.ClientArea();
  EXPECT_TRUE(SameRect(RectInParent(content), attached));

  SetWindowPos(handle, nullptr, 0, 0, 640, 520, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  const RECT resized = window.ClientArea();
  EXPECT_EQ(resized.right - attached.right, 140);
  EXPECT_EQ(resized.bottom - attached.bottom, 120);
  EXPECT_TRUE(SameRect(RectInParent(content), resized));
}

TEST_F(Win32WindowTest, ActivationGivesTheContentTheKeyboardFocus) {
  RecordingWindow window;
  ASSERT_TRUE(window.Create(L"Focus", kOrigin, kSize));
  HWND handle = window.GetHandle();
  ShowWindow(handle, SW_SHOWNORMAL);
  HWND content = MakeViewWindow();
  window.AttachContent(content);
  EXPECT_EQ(GetFocus(), content);

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
  OtherWindow other;
  ASSERT_NE(other.Get(), nullptr);
  SetActiveWindow(other.Get());
  SetWindowPos(other.Get(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  ASSERT_EQ(GetActiveWindow(), other.Get());
  ASSERT_TRUE(IsAbove(other.Get(), handle));

  RECT suggested{40, 30, 40 + 540, 30 + 700};
  EXPECT_EQ(SendMessageW(handle, WM_DPICHANGED, MAKEWPARAM(144, 144),
                         reinterpret_cast<LPARAM>(&suggested)),
            0);

  EXPECT_TRUE(SameRect(WindowRect(handle), suggested));
  EXPECT_EQ(GetActiveWindow(), other.Get());
  EXPECT_TRUE(IsAbove(other.Get(), handle));

  // A change without a suggested rectangle leaves the window where it is.
  EXPECT_EQ(SendMessageW(handle, WM_DPICHANGED, MAKEWPARAM(96, 96), 0), 0);
  EXPECT_TRUE(SameRect(WindowRect(handle), suggested));
}

class Win32WindowDestroyTest : public Win32WindowTest, public testing::WithParamInterface<bool> {};

TEST_P(Win32WindowDestroyTest, DestructionOfTheNativeWindowPostsQuitOnlyWhenAsked) {
  const bool quit_on_destroy = GetParam();
  RecordingWindow window;
  window.SetQuitOnDestroy(quit_on_destroy);
  ASSERT_TRUE(window.Create(L"Destroyed", kOrigin, kSize));
  const int destroy_hooks_before = window.on_destroy_calls;

  DestroyWindow(window.GetHandle());

  EXPECT_EQ(window.GetHandle(), nullptr);
  EXPECT_EQ(window.on_destroy_calls, destroy_hooks_before + 1);
  int exit_code = -1;
  EXPECT_EQ(TakeQuitMessage(&exit_code), quit_on_destroy);
  if (quit_on_destroy) {
    EXPECT_EQ(exit_code, 0);
  }
  // The class outlives the native window while the object exists.
  EXPECT_TRUE(TopLevelClassRegistered());
}

INSTANTIATE_TEST_SUITE_P(QuitOnDestroy, Win32WindowDestroyTest, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& info) {
                           return info.param ? "Set" : "NotSet";
                         });

TEST_F(Win32WindowTest, ClassIsRegisteredWhileAWindowObjectExists) {
  ASSERT_FALSE(TopLevelClassRegistered());
  {
    RecordingWindow first;
    EXPECT_FALSE(TopLevelClassRegistered());
    ASSERT_TRUE(first.Create(L"First", kOrigin, kSize));
    EXPECT_TRUE(TopLevelClassRegistered());
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

TEST_F(Win32WindowTest, ClassCarriesTheIconArrowAndRedrawStyles) {
  RecordingWindow window;
  ASSERT_TRUE(window.Create(L"Class", kOrigin, kSize));
  WNDCLASSEXW info{};
  info.cbSize = sizeof(info);
  ASSERT_TRUE(GetClassInfoExW(GetModuleHandleW(nullptr), L"FLUTTER_RUNNER_WIN32_WINDOW", &info));

  EXPECT_EQ(info.style, static_cast<UINT>(CS_HREDRAW | CS_VREDRAW));
  EXPECT_EQ(info.cbClsExtra, 0);
  EXPECT_EQ(info.cbWndExtra, 0);
  EXPECT_EQ(info.hInstance, GetModuleHandleW(nullptr));
  EXPECT_EQ(info.hCursor, LoadCursorW(nullptr, IDC_ARROW));
  EXPECT_EQ(info.hbrBackground, nullptr);
  EXPECT_EQ(info.lpszMenuName, nullptr);
  // This test program carries the application's icon resource.
  EXPECT_NE(info.hIcon, nullptr);
}

}  // namespace
}  // namespace shell_testing
