#include "shell/plugin_registrant.h"

#include "shell/plugin_libraries.h"

namespace {

using RegisterFunction = void (*)(FlutterDesktopPluginRegistrarRef registrar);

struct Plugin {
  const char* registrar_name;
  // Null for a plugin that has no native library in this program.
  RegisterFunction register_function;
};

constexpr Plugin kPlugins[] = {
    {"ConnectivityPlusWindowsPlugin", &ConnectivityPlusWindowsPluginRegisterWithRegistrar},
    {"FlutterPlatformAlertPlugin", &FlutterPlatformAlertPluginRegisterWithRegistrar},
    {"RivePlugin", &RivePluginRegisterWithRegistrar},
    {"ScreenRetrieverWindowsPluginCApi", &ScreenRetrieverWindowsPluginCApiRegisterWithRegistrar},
    {"SentryFlutterPlugin", nullptr},
    {"TrayManagerPlugin", &TrayManagerPluginRegisterWithRegistrar},
    {"UrlLauncherWindows", &UrlLauncherWindowsRegisterWithRegistrar},
    {"WindowManagerPlugin", &WindowManagerPluginRegisterWithRegistrar},
    {"WindowsSingleInstancePlugin", &WindowsSingleInstancePluginRegisterWithRegistrar},
};

}  // namespace

void RegisterAllPlugins(flutter::PluginRegistry* registry) {
  for (const Plugin& plugin : kPlugins) {
    FlutterDesktopPluginRegistrarRef registrar =
        registry->RegistrarForPlugin(plugin.registrar_name);
    if (plugin.register_function != nullptr) {
      plugin.register_function(registrar);
    }
  }
}
