#ifndef QUORVANTA_STAND_INS_PLUGINS_PLUGIN_REGISTRATIONS_H_
#define QUORVANTA_STAND_INS_PLUGINS_PLUGIN_REGISTRATIONS_H_

// The registration functions of the UI's native plugins, one per plugin library.

#include "shell/embedder/embedder_api.h"

#ifdef __cplusplus
extern "C" {
#endif

void ConnectivityPlusWindowsPluginRegisterWithRegistrar(FlutterDesktopPluginRegistrarRef registrar);
void FlutterPlatformAlertPluginRegisterWithRegistrar(FlutterDesktopPluginRegistrarRef registrar);
void RivePluginRegisterWithRegistrar(FlutterDesktopPluginRegistrarRef registrar);
void ScreenRetrieverWindowsPluginCApiRegisterWithRegistrar(
    FlutterDesktopPluginRegistrarRef registrar);
void TrayManagerPluginRegisterWithRegistrar(FlutterDesktopPluginRegistrarRef registrar);
void UrlLauncherWindowsRegisterWithRegistrar(FlutterDesktopPluginRegistrarRef registrar);
void WindowManagerPluginRegisterWithRegistrar(FlutterDesktopPluginRegistrarRef registrar);
void WindowsSingleInstancePluginRegisterWithRegistrar(FlutterDesktopPluginRegistrarRef registrar);

#ifdef __cplusplus
}  // extern "C"
#endif

#endif  // QUORVANTA_STAND_INS_PLUGINS_PLUGIN_REGISTRATIONS_H_
