#include "shell/embedder/flutter_view_controller.h"

#include "base/log.h"

namespace flutter {

FlutterViewController::FlutterViewController(int width, int height, const EngineProject& project)
    : engine_(std::make_shared<FlutterEngine>(project)) {
  // Handed over before the call, whatever its outcome: the embedder takes the engine in every
  // case, so the wrapper must never destroy it.
  FlutterDesktopEngineRef engine = engine_->HandOverEngine();
  if (engine != nullptr) {
    controller_ = FlutterDesktopViewControllerCreate(width, height, engine);
  }
  if (controller_ == nullptr) {
    logging::Err("Failed to create view controller.");
    // A view controller that failed has ended the engine it took.
    engine_->ForgetEngine();
    return;
  }
  view_ = std::make_unique<FlutterView>(FlutterDesktopViewControllerGetView(controller_));
}

FlutterViewController::~FlutterViewController() {
  // Ends the view and the engine; the view wrapper and the engine wrapper go afterwards, as the
  // members are released.
  if (controller_ != nullptr) {
    FlutterDesktopViewControllerDestroy(controller_);
  }
}

std::optional<FlutterDesktopLResult> FlutterViewController::HandleTopLevelWindowProc(
    FlutterDesktopNativeWindow window, FlutterDesktopWindowMessage message,
    FlutterDesktopWParam wparam, FlutterDesktopLParam lparam) {
  if (controller_ == nullptr) {
    return std::nullopt;
  }
  FlutterDesktopLResult result{};
  if (!FlutterDesktopViewControllerHandleTopLevelWindowProc(controller_, window, message, wparam,
                                                            lparam, &result)) {
    return std::nullopt;
  }
  return result;
}

}  // namespace flutter
