#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shell/embedder/embedder_api.h"
#include "shell/plugin_libraries.h"
#include "tests/stand_ins/embedder_test_support.h"

namespace {

struct Plugin {
  const char* registrar_name;
  const char* library;
  const char* function_name;
  void (*function)(FlutterDesktopPluginRegistrarRef);
};

TEST(StandInPlugins, EachRecordsItsRegistrationWithItsRegistrar) {
  const Plugin plugins[] = {
      {"ConnectivityPlusWindowsPlugin", "connectivity_plus_plugin.dll",
       "ConnectivityPlusWindowsPluginRegisterWithRegistrar",
       &ConnectivityPlusWindowsPluginRegisterWithRegistrar},
      {"FlutterPlatformAlertPlugin", "flutter_platform_alert_plugin.dll",
       "FlutterPlatformAlertPluginRegisterWithRegistrar",
       &FlutterPlatformAlertPluginRegisterWithRegistrar},
      {"RivePlugin", "rive_common_plugin.dll", "RivePluginRegisterWithRegistrar",
       &RivePluginRegisterWithRegistrar},
      {"ScreenRetrieverWindowsPluginCApi", "screen_retriever_windows_plugin.dll",
       "ScreenRetrieverWindowsPluginCApiRegisterWithRegistrar",
       &ScreenRetrieverWindowsPluginCApiRegisterWithRegistrar},
      {"TrayManagerPlugin", "tray_manager_plugin.dll", "TrayManagerPluginRegisterWithRegistrar",
       &TrayManagerPluginRegisterWithRegistrar},
      {"UrlLauncherWindows", "url_launcher_windows_plugin.dll",
       "UrlLauncherWindowsRegisterWithRegistrar", &UrlLauncherWindowsRegisterWithRegistrar},
      {"WindowManagerPlugin", "window_manager_plugin.dll",
       "WindowManagerPluginRegisterWithRegistrar", &WindowManagerPluginRegisterWithRegistrar},
      {"WindowsSingleInstancePlugin", "windows_single_instance_plugin.dll",
       "WindowsSingleInstancePluginRegisterWithRegistrar",
       &WindowsSingleInstancePluginRegisterWithRegistrar},
  };
  testing_support::TestEngine engine;
  // Registered in reverse order, with the registrars looked up in list order, so that each line
  // names the registrar it was really given.
  std::vector<FlutterDesktopPluginRegistrarRef> registrars;
  for (const Plugin& plugin : plugins) {
    registrars.push_back(
        FlutterDesktopEngineGetPluginRegistrar(engine.engine, plugin.registrar_name));
  }
  for (size_t i = std::size(plugins); i-- > 0;) plugins[i].function(registrars[i]);
  FlutterDesktopEngineDestroy(engine.engine);

  std::vector<std::string> expected = {engine.Transcript().front()};
  for (size_t i = 0; i < std::size(plugins); ++i) {
    expected.push_back("registrar " + std::to_string(i + 1) + " " + plugins[i].registrar_name);
  }
  for (size_t i = std::size(plugins); i-- > 0;) {
    expected.push_back(std::string("plugin ") + plugins[i].library + " " +
                       plugins[i].function_name + " registrar " + std::to_string(i + 1));
  }
  EXPECT_EQ(engine.Transcript(), expected);
}

}  // namespace
