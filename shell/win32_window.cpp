#include "shell/win32_window.h"

#include "base/scoped_win32.h"
#include "resources/resource_ids.h"
#include "shell/embedder/embedder_api.h"
#include "shell/single_instance.h"

namespace {

constexpr wchar_t kWindowClassName[] = L"FLUTTER_RUNNER_WIN32_WINDOW";
constexpr double kBaseDpi = 96.0;

// Process-wide, used only from the UI thread.
int live_window_count = 0;
bool window_class_registered = false;

void RegisterWindowClassOnce(WNDPROC procedure) {
  if (window_class_registered) {
    return;
  }
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSW window_class{};
  window_class.style = CS_HREDRAW | CS_VREDRAW;
  window_class.lpfnWndProc = procedure;
  window_class.hInstance = instance;
  window_class.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(QUORVANTA_APP_ICON));
  window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  window_class.lpszClassName = kWindowClassName;
  // A failed registration shows in the window creation that follows.
  RegisterClassW(&window_class);
  window_class_registered = true;
}

void UnregisterWindowClass() {
  UnregisterClassW(kWindowClassName, nullptr);
  window_class_registered = false;
}

int32_t Scale(int32_t logical, double scale) { return static_cast<int32_t>(logical * scale); }

// Scales the non-client area (title bar, frame) with the DPI on systems that offer it; it is
// looked up at run time because older systems lack the function.
void EnableNonClientDpiScalingWhereOffered(HWND window) {
  const base::ScopedLibrary user32(LoadLibraryA("User32.dll"));
  if (!user32.IsValid()) {
    return;
  }
  using EnableNonClientDpiScalingFunction = BOOL(WINAPI*)(HWND);
  // Through the generic function pointer type, which converts to any other without a warning.
  auto enable = reinterpret_cast<EnableNonClientDpiScalingFunction>(
      reinterpret_cast<void (*)()>(GetProcAddress(user32.Get(), "EnableNonClientDpiScaling")));
  if (enable != nullptr) {
    enable(window);
  }
}

}  // namespace

Win32Window::Win32Window() { ++live_window_count; }

Win32Window::~Win32Window() {
  --live_window_count;
  Destroy();
}

bool Win32Window::Create(const std::wstring& title, const Point& origin, const Size& size) {
  if (!ClaimSingleInstance()) {
    ActivateRunningInstance();
    return false;
  }
  Destroy();
  RegisterWindowClassOnce(WindowProcedure);

  HMONITOR monitor = MonitorFromPoint(POINT{origin.x, origin.y}, MONITOR_DEFAULTTONEAREST);
  const double scale = FlutterDesktopGetDpiForMonitor(monitor) / kBaseDpi;

  // Without WS_VISIBLE: the window starts hidden, and the UI side shows it when it is ready.
  HWND window =
      CreateWindowExW(0, kWindowClassName, title.c_str(), WS_OVERLAPPEDWINDOW,
                      Scale(origin.x, scale), Scale(origin.y, scale), Scale(size.width, scale),
                      Scale(size.height, scale), nullptr, nullptr, GetModuleHandleW(nullptr), this);
  if (window == nullptr) {
    return false;
  }
  return OnCreate();
}

void Win32Window::Destroy() {
  OnDestroy();
  if (window_handle_ != nullptr) {
    DestroyWindow(window_handle_);
    window_handle_ = nullptr;
  }
  if (live_window_count == 0) {
    UnregisterWindowClass();
  }
}

void Win32Window::SetQuitOnDestroy(bool quit_on_destroy) { quit_on_destroy_ = quit_on_destroy; }

void Win32Window::AttachContent(HWND content) {
  child_content_ = content;
  SetParent(content, window_handle_);
  const RECT area = ClientArea();
  MoveWindow(content, area.left, area.top, area.right - area.left, area.bottom - area.top, TRUE);
  SetFocus(content);
}

RECT Win32Window::ClientArea() const {
  RECT area{};
  GetClientRect(window_handle_, &area);
  return area;
}

LRESULT Win32Window::HandleMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_DESTROY:
      window_handle_ = nullptr;
      Destroy();
      if (quit_on_destroy_) {
        PostQuitMessage(0);
      }
      return 0;

    case WM_SIZE: {
      const RECT area = ClientArea();
      if (child_content_ != nullptr) {
        MoveWindow(child_content_, area.left, area.top, area.right - area.left,
                   area.bottom - area.top, TRUE);
      }
      return 0;
    }

    case WM_ACTIVATE:
      if (child_content_ != nullptr) {
        SetFocus(child_content_);
      }
      return 0;

    case WM_CLOSE:
      // Closing from the frame sends the program to the background; it ends only when the
      // window is destroyed.
      ShowWindow(window, SW_HIDE);
      return 0;

    case WM_DPICHANGED: {
      const auto* suggested = reinterpret_cast<const RECT*>(lparam);
      if (suggested != nullptr) {
        SetWindowPos(window, nullptr, suggested->left, suggested->top,
                     suggested->right - suggested->left, suggested->bottom - suggested->top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
      }
      return 0;
    }
  }
  // The window the message is for: after WM_DESTROY our handle is already null, but the last
  // messages (WM_NCDESTROY) still need their default processing.
  return DefWindowProcW(window, message, wparam, lparam);
}

bool Win32Window::OnCreate() { return true; }

void Win32Window::OnDestroy() {}

LRESULT CALLBACK Win32Window::WindowProcedure(HWND window, UINT message, WPARAM wparam,
                                              LPARAM lparam) {
  if (message == WM_NCCREATE) {
    const auto* creation = reinterpret_cast<const CREATESTRUCTW*>(lparam);
    auto* owner = static_cast<Win32Window*>(creation->lpCreateParams);
    if (owner != nullptr) {
      SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(owner));
      EnableNonClientDpiScalingWhereOffered(window);
      owner->window_handle_ = window;
    }
    return DefWindowProcW(window, message, wparam, lparam);
  }
  // Messages that arrive before WM_NCCREATE find no owner yet.
  auto* owner = reinterpret_cast<Win32Window*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (owner != nullptr) {
    return owner->HandleMessage(window, message, wparam, lparam);
  }
  return DefWindowProcW(window, message, wparam, lparam);
}
