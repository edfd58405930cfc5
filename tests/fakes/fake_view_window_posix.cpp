// Off Windows a view window is only a distinct handle.

#include "tests/fakes/recording_engine.h"

namespace testing_fakes {

FlutterDesktopNativeWindow CreateFakeViewWindow(int, int) {
  return reinterpret_cast<FlutterDesktopNativeWindow>(new char);
}

void DestroyFakeViewWindow(FlutterDesktopNativeWindow window) {
  delete reinterpret_cast<char*>(window);
}

}  // namespace testing_fakes
