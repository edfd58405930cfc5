#ifndef QUORVANTA_SHELL_PLUGIN_LIBRARIES_H_
#define QUORVANTA_SHELL_PLUGIN_LIBRARIES_H_

// The registration functions of the UI's native plugins, each exported by its own plugin library
// and linked through the program's import table.

#include "shell/embedder/embedder_api.h"

#ifdef __cplusplus
extern "C" {
#endif

// connectivity_plus_plugin.dll
void ConnectivityPlusWindowsPluginRegisterWithRegistrar(FlutterDesktopPluginRegistrarRef registrar);
// flutter_platform_alert_plugin.dll
void FlutterPlatformAlertPluginRegisterWithRegistrar(FlutterDesktopPluginRegistrarRef registrar);
// rive_common_plugin.dll
void RivePluginRegisterWithRegistrar(FlutterDesktopPluginRegistrarRef registrar);
// screen_retriever_windows_plugin.dll
void ScreenRetrieverWindowsPluginCApiRegisterWithRegistrar(
    FlutterDesktopPluginRegistrarRef registrar);
// tray_manager_plugin.dll
void TrayManagerPluginRegisterWithRegistrar(FlutterDesktopPluginRegistrarRef registrar);
// url_launcher_windows_plugin.dll
void UrlLauncherWindowsRegisterWithRegistrar(FlutterDesktopPluginRegistrarRef registrar);
// window_manager_plugin.dll
void WindowManagerPluginRegisterWithRegistrar(FlutterDesktopPluginRegistrarRef registrar);
// windows_single_instance_plugin.dll
void WindowsSingleInstancePluginRegisterWithRegistrar(FlutterDesktopPluginRegistrarRef registrar);

#ifdef __cplusplus
}  // extern "C"
#endif

#endif  // QUORVANTA_SHELL_PLUGIN_LIBRARIES_H_
