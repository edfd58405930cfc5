#ifndef QUORVANTA_SHELL_EMBEDDER_FLUTTER_ENGINE_H_
#define QUORVANTA_SHELL_EMBEDDER_FLUTTER_ENGINE_H_

#include <memory>
#include <string>

#include "channels/binary_messenger_impl.h"
#include "shell/embedder/embedder_api.h"
#include "shell/embedder/engine_project.h"
#include "shell/embedder/plugin_registry.h"

namespace flutter {

// Owns an engine of the embedder, until a view controller takes it over, and the messenger
// wrapper through which the program's channels talk to the UI. Creating it does not run the
// engine: the view controller that takes it over does. UI thread only.
class FlutterEngine : public PluginRegistry {
 public:
  // Creates the engine for `project`; the embedder copies what it keeps of the project.
  explicit FlutterEngine(const EngineProject& project);
  ~FlutterEngine() override;

  FlutterEngine(const FlutterEngine&) = delete;
  FlutterEngine& operator=(const FlutterEngine&) = delete;

  // Writes a line and returns null when there is no engine (its creation failed, or it ended
  // with a view controller that could not be created).
  FlutterDesktopPluginRegistrarRef RegistrarForPlugin(const std::string& plugin_name) override;

  // Gives up the ownership of the engine and returns its handle, for a view controller to take
  // over. The handle stays stored, so registrar lookups and messaging go on working.
  [[nodiscard]] FlutterDesktopEngineRef HandOverEngine();

  // Asks the engine to reload the system's fonts; nothing when there is no engine.
  void ReloadSystemFonts();

  // The messenger of this engine; it lives exactly as long as this object.
  BinaryMessengerImpl* Messenger() const { return messenger_.get(); }

 private:
  friend class FlutterViewController;

  // The embedder has ended the engine it took over: the handle must not be used again.
  void ForgetEngine() { engine_ = nullptr; }

  FlutterDesktopEngineRef engine_;
  std::unique_ptr<BinaryMessengerImpl> messenger_;
  bool owns_engine_ = true;
};

}  // namespace flutter

#endif  // QUORVANTA_SHELL_EMBEDDER_FLUTTER_ENGINE_H_
