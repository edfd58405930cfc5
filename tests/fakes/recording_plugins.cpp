// The plugin libraries' registration functions, recorded among the embedder's calls; linked
// only by a test that registers the plugins.

#include "shell/plugin_libraries.h"
#include "tests/fakes/recording_engine.h"

#define RECORDED_REGISTRATION(registrar_name)                                              \
  void registrar_name##RegisterWithRegistrar(FlutterDesktopPluginRegistrarRef registrar) { \
    auto& fake = testing_fakes::RecordingEngine::Current();                                \
    fake.calls.push_back(std::string(__func__) + "(" + fake.Name(registrar) + ")");        \
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
