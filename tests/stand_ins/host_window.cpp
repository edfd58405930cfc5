#include "tests/stand_ins/host_window.h"

#include <utility>

namespace testing_support {
namespace {

constexpr wchar_t kHostClass[] = L"QuorvantaStandInTestHost";

}  // namespace

HostWindow::HostWindow(int x, int y, int width, int height) {
  static const ATOM registered = [] {
    WNDCLASSW window_class{};
    window_class.lpfnWndProc = &HostWindow::Procedure;
    window_class.hInstance = GetModuleHandleW(nullptr);
    window_class.lpszClassName = kHostClass;
    window_class.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    return RegisterClassW(&window_class);
  }();
  (void)registered;
  hwnd_ = CreateWindowExW(0, kHostClass, L"stand-in test host", WS_OVERLAPPEDWINDOW, x, y, width,
                          height, nullptr, nullptr, GetModuleHandleW(nullptr), this);
}

HostWindow::~HostWindow() {
  if (hwnd_ != nullptr) DestroyWindow(hwnd_);
  if (controller_ != nullptr) FlutterDesktopViewControllerDestroy(controller_);
}

FlutterDesktopViewControllerRef HostWindow::Host(FlutterDesktopEngineRef engine, SIZE view_size) {
  RECT client{};
  GetClientRect(hwnd_, &client);
  if (view_size.cx == 0) view_size = SIZE{client.right, client.bottom};
  controller_ = FlutterDesktopViewControllerCreate(view_size.cx, view_size.cy, engine);
  if (controller_ != nullptr) {
    const HWND view = FlutterDesktopViewGetHWND(FlutterDesktopViewControllerGetView(controller_));
    SetParent(view, hwnd_);
    MoveWindow(view, 0, 0, client.right, client.bottom, TRUE);
  }
  return controller_;
}

LRESULT CALLBACK HostWindow::Procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    SetWindowLongPtrW(
        window, GWLP_USERDATA,
        reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams));
  }
  auto* host = reinterpret_cast<HostWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  switch (message) {
    case WM_CLOSE:
      ShowWindow(window, SW_HIDE);
      return 0;
    case WM_DESTROY:
      if (host != nullptr) {
        host->hwnd_ = nullptr;
        if (host->controller_ != nullptr) {
          FlutterDesktopViewControllerDestroy(std::exchange(host->controller_, nullptr));
        }
      }
      return 0;
    default:
      return DefWindowProcW(window, message, wparam, lparam);
  }
}

}  // namespace testing_support
