#include "tests/fakes/recording_engine.h"

#include "shell/plugin_libraries.h"

namespace testing_fakes {
namespace {

std::vector<PluginRegistration> registrations;

}  // namespace

std::vector<PluginRegistration> PluginRegistrations() { return registrations; }

void ClearPluginRegistrations() { registrations.clear(); }

}  // namespace testing_fakes

#define RECORDED_REGISTRATION(registrar_name)                                      \
  void registrar_name##RegisterWithRegistrar(FlutterDesktopPluginRegistrarRef r) { \
    testing_fakes::registrations.push_back({__func__, r});                         \
  }

extern "C" {

RECORDED_REGISTRATION(ConnectivityPlusWindowsPlugin)
RECORDED_REGISTRATION(FlutterPlatformAlertPlugin)
RECORDED_REGISTRATION(RivePlugin)
RECORDED_REGISTRATION(ScreenRetrieverWindowsPluginCApi)
RECORDED_REGISTRATION(TrayManagerPlugin)
RECORDED_REGISTRATION(UrlLauncherWindows)
RECORDED_REGISTRATION(WindowManagerPlugin)
RECORDED_REGISTRATION(WindowsSingleInstancePlugin)

}  // extern "C"
