#ifndef QUORVANTA_SHELL_EMBEDDER_FLUTTER_VIEW_CONTROLLER_H_
#define QUORVANTA_SHELL_EMBEDDER_FLUTTER_VIEW_CONTROLLER_H_

#include <memory>
#include <optional>

#include "shell/embedder/embedder_api.h"
#include "shell/embedder/engine_project.h"
#include "shell/embedder/flutter_engine.h"
#include "shell/embedder/flutter_view.h"

namespace flutter {

// Creates an engine, hands it over to a new view controller of the embedder, which runs it, and
// owns that view controller with its view. Destroying it ends the view and the engine, and only
// then frees the engine wrapper with its messenger. UI thread only.
class FlutterViewController {
 public:
  // `width` and `height` are the view's size in physical pixels. When the embedder cannot create
  // the view controller, writes "Failed to create view controller." and the object has no view.
  FlutterViewController(int width, int height, const EngineProject& project);
  virtual ~FlutterViewController();

  FlutterViewController(const FlutterViewController&) = delete;
  FlutterViewController& operator=(const FlutterViewController&) = delete;

  FlutterEngine* Engine() const { return engine_.get(); }
  // Null when the view controller could not be created.
  FlutterView* View() const { return view_.get(); }

  // Offers a message of the top-level window to the view controller: its result when it handled
  // the message, no result when it did not (or when there is no view controller).
  std::optional<FlutterDesktopLResult> HandleTopLevelWindowProc(FlutterDesktopNativeWindow window,
                                                                FlutterDesktopWindowMessage message,
                                                                FlutterDesktopWParam wparam,
                                                                FlutterDesktopLParam lparam);

 private:
  // Declared in the order opposite to their release: the view goes before the engine wrapper.
  FlutterDesktopViewControllerRef controller_ = nullptr;
  std::shared_ptr<FlutterEngine> engine_;
  std::unique_ptr<FlutterView> view_;
};

}  // namespace flutter

#endif  // QUORVANTA_SHELL_EMBEDDER_FLUTTER_VIEW_CONTROLLER_H_
