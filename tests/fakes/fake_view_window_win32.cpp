#include <windows.h>

#include "tests/fakes/recording_engine.h"

namespace testing_fakes {

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

}  // namespace testing_fakes
