#include "tests/fakes/recording_plugins.h"

#include "shell/plugin_libraries.h"

namespace testing_fakes {
namespace {

std::vector<PluginRegistration>& Registrations() {
  static std::vector<PluginRegistration> registrations;
  return registrations;
}

void Record(const char* function, FlutterDesktopPluginRegistrarRef registrar) {
  Registrations().push_back(PluginRegistration{function, registrar});
}

}  // namespace

std::vector<PluginRegistration> PluginRegistrations() { return Registrations(); }

void ClearPluginRegistrations() { Registrations().clear(); }

}  // namespace testing_fakes

using testing_fakes::Record;

extern "C" {

void ConnectivityPlusWindowsPluginRegisterWithRegistrar(
    FlutterDesktopPluginRegistrarRef registrar) {
  Record(__func__, registrar);
}
void FlutterPlatformAlertPluginRegisterWithRegistrar(FlutterDesktopPluginRegistrarRef registrar) {
  Record(__func__, registrar);
}
void RivePluginRegisterWithRegistrar(FlutterDesktopPluginRegistrarRef registrar) {
  Record(__func__, registrar);
}
void ScreenRetrieverWindowsPluginCApiRegisterWithRegistrar(
    FlutterDesktopPluginRegistrarRef registrar) {
  Record(__func__, registrar);
}
void TrayManagerPluginRegisterWithRegistrar(FlutterDesktopPluginRegistrarRef registrar) {
  Record(__func__, registrar);
}
void UrlLauncherWindowsRegisterWithRegistrar(FlutterDesktopPluginRegistrarRef registrar) {
  Record(__func__, registrar);
}
void WindowManagerPluginRegisterWithRegistrar(FlutterDesktopPluginRegistrarRef registrar) {
  Record(__func__, registrar);
}
void WindowsSingleInstancePluginRegisterWithRegistrar(FlutterDesktopPluginRegistrarRef registrar) {
  Record(__func__, registrar);
}

}  // extern "C"
