#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "shell/embedder/embedder_api.h"
#include "tests/stand_ins/embedder_test_support.h"
#include "tests/stand_ins/host_window.h"

namespace {

using testing_support::TestEngine;

// The test engine's argument strings are overwritten once it exists; the script path is read only
// later, when the UI side starts.
TEST(StandInEngine, KeepsItsOwnCopyOfTheArguments) {
  const std::string script = testing_support::WriteScript("# nothing to do\n");
  TestEngine engine({"--ui-script=" + script, "caf\xC3\xA9", ""});
  FlutterDesktopViewControllerRef controller = engine.CreateView();
  ASSERT_NE(controller, nullptr);
  EXPECT_TRUE(engine.WaitForLine("done failures=0"));
  FlutterDesktopViewControllerDestroy(controller);
  EXPECT_EQ(engine.Transcript(),
            (std::vector<std::string>{"arguments [\"--ui-transcript=" + engine.transcript_path +
                                          "\",\"--ui-script=" + script + "\",\"caf\xC3\xA9\",\"\"]",
                                      "engine running view=100x80", "script " + script,
                                      "done failures=0", "engine stopped"}));

  FlutterDesktopEngineProperties without_arguments{};
  without_arguments.assets_path = L"data\\flutter_assets";
  FlutterDesktopEngineRef bare = FlutterDesktopEngineCreate(&without_arguments);
  ASSERT_NE(bare, nullptr);
  EXPECT_TRUE(FlutterDesktopEngineDestroy(bare));
  EXPECT_EQ(FlutterDesktopEngineCreate(nullptr), nullptr);
}

TEST(StandInEngine, ViewControllerTakesTheEngineOverAndNeedsTheAssetsFolder) {
  // A relative assets path is taken from the executable's folder, not the current directory.
  const std::filesystem::path beside_the_executable = std::filesystem::current_path();
  std::filesystem::current_path(std::filesystem::temp_directory_path());
  for (const auto& [assets, created] :
       {std::pair(L"data\\no_such_assets", false), std::pair(L"data\\flutter_assets", true)}) {
    SCOPED_TRACE(assets);
    TestEngine engine({}, assets);
    FlutterDesktopViewControllerRef controller = engine.CreateView();
    EXPECT_EQ(controller != nullptr, created);
    if (controller == nullptr) continue;
    // Owned by the controller now: not destroyed apart, nor taken by a second controller.
    EXPECT_FALSE(FlutterDesktopEngineDestroy(engine.engine));
    EXPECT_EQ(engine.CreateView(), nullptr);
    EXPECT_TRUE(
        FlutterDesktopMessengerIsAvailable(FlutterDesktopEngineGetMessenger(engine.engine)));
    FlutterDesktopViewControllerDestroy(controller);
  }
  std::filesystem::current_path(beside_the_executable);
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
  EXPECT_EQ((std::vector<LONG>{rect.right, rect.bottom}), (std::vector<LONG>{120, 90}));

  testing_support::HostWindow host(40, 50, 300, 200);
  SetParent(view, host.hwnd());
  EXPECT_EQ(GetAncestor(view, GA_ROOT), host.hwnd());
  ASSERT_TRUE(MoveWindow(view, 10, 20, 200, 100, TRUE));
  GetWindowRect(view, &rect);
  MapWindowPoints(nullptr, host.hwnd(), reinterpret_cast<POINT*>(&rect), 2);
  EXPECT_EQ((std::vector<LONG>{rect.left, rect.top, rect.right, rect.bottom}),
            (std::vector<LONG>{10, 20, 210, 120}));

  FlutterDesktopViewControllerDestroy(controller);
  EXPECT_FALSE(IsWindow(view));
}

// The runner's transcript shows every plugin name getting its own registrar.
TEST(StandInEngine, ARegistrarIsKeptPerPluginName) {
  TestEngine engine;
  const auto registrar = [&](const char* name) {
    return FlutterDesktopEngineGetPluginRegistrar(engine.engine, name);
  };
  EXPECT_NE(registrar("RivePlugin"), nullptr);
  EXPECT_EQ(registrar("RivePlugin"), registrar("RivePlugin"));
  EXPECT_NE(registrar("RivePlugin"), registrar("TrayManagerPlugin"));
  EXPECT_EQ(FlutterDesktopEngineGetPluginRegistrar(nullptr, "RivePlugin"), nullptr);
  EXPECT_TRUE(FlutterDesktopEngineDestroy(engine.engine));
}

TEST(StandInEngine, MonitorDpiIsTheDisplaysOwn) {
  SetProcessDPIAware();
  const HMONITOR monitor = MonitorFromPoint(POINT{10, 10}, MONITOR_DEFAULTTONEAREST);
  ASSERT_NE(monitor, nullptr);
  const HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
  ReleaseDC(nullptr, screen);
  EXPECT_EQ(FlutterDesktopGetDpiForMonitor(monitor), static_cast<uint32_t>(dpi));
  EXPECT_EQ(FlutterDesktopGetDpiForMonitor(nullptr), 96u);
}

}  // namespace
