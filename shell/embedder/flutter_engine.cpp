#include "shell/embedder/flutter_engine.h"

#include <vector>

#include "base/log.h"

namespace flutter {
namespace {

FlutterDesktopEngineRef CreateEngine(const EngineProject& project) {
  // Only for the call: the embedder copies the arguments it keeps.
  std::vector<const char*> arguments;
  for (const std::string& argument : project.entrypoint_arguments()) {
    arguments.push_back(argument.c_str());
  }
  FlutterDesktopEngineProperties properties{};
  properties.assets_path = project.assets_path().c_str();
  properties.icu_data_path = project.icu_data_path().c_str();
  properties.aot_library_path = project.aot_library_path().c_str();
  properties.dart_entrypoint = project.entrypoint().c_str();
  properties.dart_entrypoint_argc = static_cast<int>(arguments.size());
  // The embedder takes a null array, not an empty one, for "no arguments".
  properties.dart_entrypoint_argv = arguments.empty() ? nullptr : arguments.data();
  return FlutterDesktopEngineCreate(&properties);
}

}  // namespace

FlutterEngine::FlutterEngine(const EngineProject& project)
    : engine_(CreateEngine(project)),
      // A failed creation has no messenger to ask for; the embedder would dereference the null
      // engine. The wrapper then stays unused, since no view controller can run such an engine.
      messenger_(std::make_unique<BinaryMessengerImpl>(
          engine_ != nullptr ? FlutterDesktopEngineGetMessenger(engine_) : nullptr)) {}

FlutterEngine::~FlutterEngine() {
  if (engine_ != nullptr && owns_engine_) {
    FlutterDesktopEngineDestroy(engine_);
  }
  engine_ = nullptr;
  messenger_.reset();
}

FlutterDesktopPluginRegistrarRef FlutterEngine::RegistrarForPlugin(const std::string& plugin_name) {
  if (engine_ == nullptr) {
    logging::Err("Cannot get plugin registrar on an engine that isn't running; call Run first.");
    return nullptr;
  }
  return FlutterDesktopEngineGetPluginRegistrar(engine_, plugin_name.c_str());
}

FlutterDesktopEngineRef FlutterEngine::HandOverEngine() {
  owns_engine_ = false;
  return engine_;
}

void FlutterEngine::ReloadSystemFonts() {
  if (engine_ != nullptr) {
    FlutterDesktopEngineReloadSystemFonts(engine_);
  }
}

}  // namespace flutter
