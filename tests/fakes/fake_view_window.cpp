#include "tests/fakes/fake_view_window.h"

namespace testing_fakes {

#if defined(_WIN32)
FlutterDesktopNativeWindow CreateFakeViewWindow(int width, int height) {
  static const ATOM view_class = [] {
    WNDCLASSW view_class{};
    view_class.lpfnWndProc = DefWindowProcW;
    view_class.hInstance = GetModuleHandleW(nullptr);
    view_class.lpszClassName = L"QuorvantaFakeFlutterView";
    return RegisterClassW(&view_class);
  }();
  // A child of the message-only parent until the host re-parents it, like the embedder's view.
  return CreateWindowExW(0, MAKEINTATOM(view_class), L"", WS_CHILD | WS_VISIBLE, 0, 0, width,
                         height, HWND_MESSAGE, nullptr, GetModuleHandleW(nullptr), nullptr);
}

void DestroyFakeViewWindow(FlutterDesktopNativeWindow window) {
  if (window != nullptr && IsWindow(window)) DestroyWindow(window);
}
#else
// An opaque, unique token that nothing looks inside.
FlutterDesktopNativeWindow CreateFakeViewWindow(int, int) {
  return reinterpret_cast<FlutterDesktopNativeWindow>(new char);
}

void DestroyFakeViewWindow(FlutterDesktopNativeWindow window) {
  delete reinterpret_cast<char*>(window);
}
#endif

}  // namespace testing_fakes
