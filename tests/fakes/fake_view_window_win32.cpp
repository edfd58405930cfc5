#include "tests/fakes/fake_view_window.h"

namespace testing_fakes {
namespace {

constexpr wchar_t kViewClassName[] = L"QuorvantaFakeFlutterView";

void RegisterViewClassOnce() {
  static const bool registered = [] {
    WNDCLASSW view_class{};
    view_class.lpfnWndProc = DefWindowProcW;
    view_class.hInstance = GetModuleHandleW(nullptr);
    view_class.lpszClassName = kViewClassName;
    return RegisterClassW(&view_class) != 0;
  }();
  static_cast<void>(registered);
}

}  // namespace

FlutterDesktopNativeWindow CreateFakeViewWindow(int width, int height) {
  RegisterViewClassOnce();
  // A child of the message-only parent until the host re-parents it, like the embedder's view.
  return CreateWindowExW(0, kViewClassName, L"", WS_CHILD | WS_VISIBLE, 0, 0, width, height,
                         HWND_MESSAGE, nullptr, GetModuleHandleW(nullptr), nullptr);
}

void DestroyFakeViewWindow(FlutterDesktopNativeWindow window) {
  if (window != nullptr && IsWindow(window)) {
    DestroyWindow(window);
  }
}

}  // namespace testing_fakes
