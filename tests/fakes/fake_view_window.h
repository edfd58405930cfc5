#ifndef QUORVANTA_TESTS_FAKES_FAKE_VIEW_WINDOW_H_
#define QUORVANTA_TESTS_FAKES_FAKE_VIEW_WINDOW_H_

#include "shell/embedder/embedder_api.h"

namespace testing_fakes {

// The native window of a fake view: on Windows a real child window, parked until someone
// re-parents it; elsewhere an opaque token.
FlutterDesktopNativeWindow CreateFakeViewWindow(int width, int height);

// Destroys the window unless it is already gone (with a parent it was re-parented into).
void DestroyFakeViewWindow(FlutterDesktopNativeWindow window);

}  // namespace testing_fakes

#endif  // QUORVANTA_TESTS_FAKES_FAKE_VIEW_WINDOW_H_
