#include "tests/fakes/fake_view_window.h"

namespace testing_fakes {

// An opaque, unique token; nothing ever looks inside it.
struct FakeWindowToken {
  int width;
  int height;
};

FlutterDesktopNativeWindow CreateFakeViewWindow(int width, int height) {
  return reinterpret_cast<FlutterDesktopNativeWindow>(new FakeWindowToken{width, height});
}

void DestroyFakeViewWindow(FlutterDesktopNativeWindow window) {
  delete reinterpret_cast<FakeWindowToken*>(window);
}

}  // namespace testing_fakes
