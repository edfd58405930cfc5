#ifndef QUORVANTA_SHELL_EMBEDDER_PLUGIN_REGISTRY_H_
#define QUORVANTA_SHELL_EMBEDDER_PLUGIN_REGISTRY_H_

#include <string>

#include "shell/embedder/embedder_api.h"

namespace flutter {

// Where the UI's native plugins are registered.
class PluginRegistry {
 public:
  virtual ~PluginRegistry() = default;

  // The embedder's registrar for the plugin `plugin_name` (UTF-8); null when there is none.
  virtual FlutterDesktopPluginRegistrarRef RegistrarForPlugin(const std::string& plugin_name) = 0;
};

}  // namespace flutter

#endif  // QUORVANTA_SHELL_EMBEDDER_PLUGIN_REGISTRY_H_
