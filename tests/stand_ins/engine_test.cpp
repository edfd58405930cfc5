#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "shell/embedder/embedder_api.h"
#include "tests/stand_ins/embedder_test_support.h"
#include "tests/stand_ins/host_window.h"

namespace {

using testing::Contains;
using testing_support::HostWindow;
using testing_support::TestEngine;

TEST(StandInEngine, KeepsItsOwnCopyOfTheArguments) {
  const std::string folder = testing_support::TestFolder();
  const std::string script = folder + "empty.jsonl";
  testing_support::WriteText(script, "# nothing to do\n");
  std::string transcript_argument = "--ui-transcript=" + folder + "transcript.txt";
  std::string script_argument = "--ui-script=" + script;
  std::string plain = "caf\xC3\xA9";
  std::string empty;
  const char* argv[] = {transcript_argument.c_str(), script_argument.c_str(), plain.c_str(),
                        empty.c_str()};
  FlutterDesktopEngineProperties properties{};
  properties.assets_path = L"data\\flutter_assets";
  properties.dart_entrypoint_argc = 4;
  properties.dart_entrypoint_argv = argv;
  FlutterDesktopEngineRef engine = FlutterDesktopEngineCreate(&properties);
  ASSERT_NE(engine, nullptr);
  // The program frees its argument strings once the engine exists; the script path is read only
  // later, when the UI side starts.
  script_argument.assign(script_argument.size(), 'x');
  plain.assign(plain.size(), 'x');

  FlutterDesktopViewControllerRef controller = FlutterDesktopViewControllerCreate(100, 80, engine);
  ASSERT_NE(controller, nullptr);
  const std::string done = "done failures=0";
  EXPECT_TRUE(testing_support::PumpUntil(
      [&] {
        const auto lines =
            testing_support::Lines(testing_support::ReadText(folder + "transcript.txt"));
        return std::find(lines.begin(), lines.end(), done) != lines.end();
      },
      std::chrono::seconds(20)));
  FlutterDesktopViewControllerDestroy(controller);

  EXPECT_EQ(
      testing_support::Lines(testing_support::ReadText(folder + "transcript.txt")),
      (std::vector<std::string>{
          "arguments [\"--ui-transcript=" + folder + "transcript.txt\",\"--ui-script=" + script +
              "\",\"caf\xC3\xA9\",\"\"]",
          "engine running view=100x80", "script " + script, "done failures=0", "engine stopped"}));
}

TEST(StandInEngine, TranscriptCopyGoesIntoAFolderMadeForIt) {
  const std::string path = testing_support::TestFolder() + "not/there/yet/transcript.txt";
  const std::string argument = "--ui-transcript=" + path;
  const char* argv[] = {argument.c_str()};
  FlutterDesktopEngineProperties properties{};
  properties.assets_path = L"data\\flutter_assets";
  properties.dart_entrypoint_argc = 1;
  properties.dart_entrypoint_argv = argv;
  FlutterDesktopEngineRef engine = FlutterDesktopEngineCreate(&properties);
  ASSERT_NE(engine, nullptr);
  EXPECT_TRUE(FlutterDesktopEngineDestroy(engine));
  EXPECT_EQ(testing_support::Lines(testing_support::ReadText(path)),
            std::vector<std::string>{"arguments [\"" + argument + "\"]"});
}

TEST(StandInEngine, NoArgumentsAtAll) {
  FlutterDesktopEngineProperties properties{};
  properties.assets_path = L"data\\flutter_assets";
  FlutterDesktopEngineRef engine = FlutterDesktopEngineCreate(&properties);
  ASSERT_NE(engine, nullptr);
  EXPECT_TRUE(FlutterDesktopEngineDestroy(engine));
  EXPECT_EQ(FlutterDesktopEngineCreate(nullptr), nullptr);
}

TEST(StandInEngine, ViewControllerNeedsTheAssetsFolderBesideTheExecutable) {
  TestEngine missing({}, L"data\\no_such_assets");
  EXPECT_EQ(FlutterDesktopViewControllerCreate(100, 80, missing.engine), nullptr);

  TestEngine present;
  FlutterDesktopViewControllerRef controller =
      FlutterDesktopViewControllerCreate(100, 80, present.engine);
  EXPECT_NE(controller, nullptr);
  FlutterDesktopViewControllerDestroy(controller);

  // Relative paths are taken from the executable's folder, not the current directory.
  wchar_t executable[MAX_PATH];
  GetModuleFileNameW(nullptr, executable, MAX_PATH);
  const std::filesystem::path assets =
      std::filesystem::path(executable).parent_path() / L"data" / L"flutter_assets";
  ASSERT_TRUE(std::filesystem::is_directory(assets));
  TestEngine absolute({}, assets.c_str());
  controller = FlutterDesktopViewControllerCreate(100, 80, absolute.engine);
  EXPECT_NE(controller, nullptr);
  FlutterDesktopViewControllerDestroy(controller);
}

TEST(StandInEngine, OnlyAnEngineNotHandedOverCanBeDestroyed) {
  TestEngine engine;
  FlutterDesktopViewControllerRef controller =
      FlutterDesktopViewControllerCreate(100, 80, engine.engine);
  ASSERT_NE(controller, nullptr);
  EXPECT_FALSE(FlutterDesktopEngineDestroy(engine.engine));
  // A second controller cannot take the same engine.
  EXPECT_EQ(FlutterDesktopViewControllerCreate(100, 80, engine.engine), nullptr);
  // Lookups and messaging go on with the handed-over handle.
  EXPECT_NE(FlutterDesktopEngineGetPluginRegistrar(engine.engine, "P"), nullptr);
  EXPECT_TRUE(FlutterDesktopMessengerIsAvailable(FlutterDesktopEngineGetMessenger(engine.engine)));
  FlutterDesktopViewControllerDestroy(controller);
}

TEST(StandInEngine, ViewIsAChildWindowThatCanBeReparentedAndMoved) {
  TestEngine engine;
  FlutterDesktopViewControllerRef controller =
      FlutterDesktopViewControllerCreate(120, 90, engine.engine);
  ASSERT_NE(controller, nullptr);
  const HWND view = FlutterDesktopViewGetHWND(FlutterDesktopViewControllerGetView(controller));
  ASSERT_TRUE(IsWindow(view));
  EXPECT_NE(GetWindowLongPtrW(view, GWL_STYLE) & WS_CHILD, 0);
  RECT rect{};
  GetClientRect(view, &rect);
  EXPECT_EQ(rect.right, 120);
  EXPECT_EQ(rect.bottom, 90);
  // The view answers top-level messages with "not handled".
  LRESULT result = 12345;
  EXPECT_FALSE(FlutterDesktopViewControllerHandleTopLevelWindowProc(controller, view, WM_SIZE, 0, 0,
                                                                    &result));
  EXPECT_EQ(result, 12345);

  HostWindow host(40, 50, 300, 200);
  ASSERT_NE(host.hwnd(), nullptr);
  SetParent(view, host.hwnd());
  EXPECT_EQ(GetAncestor(view, GA_ROOT), host.hwnd());
  ASSERT_TRUE(MoveWindow(view, 10, 20, 200, 100, TRUE));
  GetWindowRect(view, &rect);
  MapWindowPoints(nullptr, host.hwnd(), reinterpret_cast<POINT*>(&rect), 2);
  EXPECT_EQ(rect.left, 10);
  EXPECT_EQ(rect.top, 20);
  EXPECT_EQ(rect.right - rect.left, 200);
  EXPECT_EQ(rect.bottom - rect.top, 100);

  FlutterDesktopViewControllerDestroy(controller);
  EXPECT_FALSE(IsWindow(view));
}

TEST(StandInEngine, RegistrarsAreDistinctPerPluginName) {
  TestEngine engine;
  const char* names[] = {"ConnectivityPlusWindowsPlugin", "FlutterPlatformAlertPlugin",
                         "RivePlugin", "SentryFlutterPlugin", "WindowManagerPlugin"};
  std::set<FlutterDesktopPluginRegistrarRef> registrars;
  for (const char* name : names) {
    FlutterDesktopPluginRegistrarRef registrar =
        FlutterDesktopEngineGetPluginRegistrar(engine.engine, name);
    EXPECT_NE(registrar, nullptr);
    registrars.insert(registrar);
  }
  EXPECT_EQ(registrars.size(), std::size(names));
  EXPECT_EQ(FlutterDesktopEngineGetPluginRegistrar(engine.engine, "RivePlugin"),
            FlutterDesktopEngineGetPluginRegistrar(engine.engine, "RivePlugin"));
  EXPECT_EQ(FlutterDesktopEngineGetPluginRegistrar(nullptr, "RivePlugin"), nullptr);
  EXPECT_THAT(engine.Transcript(), Contains("registrar 3 RivePlugin").Times(3));
  EXPECT_THAT(engine.Transcript(), Contains("registrar 4 SentryFlutterPlugin"));
  FlutterDesktopEngineDestroy(engine.engine);
}

// The display's DPI as the prefix's settings give it, 96 when none is set.
uint32_t ConfiguredDpi() {
  DWORD dpi = 0;
  DWORD size = sizeof(dpi);
  if (RegGetValueW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"LogPixels", RRF_RT_REG_DWORD,
                   nullptr, &dpi, &size) != ERROR_SUCCESS) {
    return 96;
  }
  return dpi;
}

TEST(StandInEngine, MonitorDpiIsTheDisplaysOwn) {
  SetProcessDPIAware();
  const HMONITOR monitor = MonitorFromPoint(POINT{10, 10}, MONITOR_DEFAULTTONEAREST);
  ASSERT_NE(monitor, nullptr);
  EXPECT_EQ(FlutterDesktopGetDpiForMonitor(monitor), ConfiguredDpi());
  EXPECT_EQ(FlutterDesktopGetDpiForMonitor(nullptr), 96u);
}

}  // namespace
