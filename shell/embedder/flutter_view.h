#ifndef QUORVANTA_SHELL_EMBEDDER_FLUTTER_VIEW_H_
#define QUORVANTA_SHELL_EMBEDDER_FLUTTER_VIEW_H_

#include "shell/embedder/embedder_api.h"

namespace flutter {

// The view in which the UI is drawn. The embedder's view controller owns the view; this object
// only names it, and releases nothing.
class FlutterView {
 public:
  explicit FlutterView(FlutterDesktopViewRef view) : view_(view) {}
  virtual ~FlutterView() = default;

  FlutterView(const FlutterView&) = delete;
  FlutterView& operator=(const FlutterView&) = delete;

  // The view's native child window, for the host window to take in.
  FlutterDesktopNativeWindow NativeWindow() const { return FlutterDesktopViewGetHWND(view_); }

 private:
  FlutterDesktopViewRef view_;
};

}  // namespace flutter

#endif  // QUORVANTA_SHELL_EMBEDDER_FLUTTER_VIEW_H_
