#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "shell/embedder/engine_project.h"
#include "shell/embedder/flutter_engine.h"
#include "shell/embedder/flutter_view_controller.h"
#include "tests/fakes/recording_engine.h"
#include "tests/fakes/recording_messenger.h"
#include "tests/support/log_capture.h"

namespace shell_testing {
namespace {

using testing::ElementsAre;
using testing::StartsWith;

constexpr char kCreated[] =
    "EngineCreate(data\\flutter_assets, data\\icudtl.dat, data\\app.so, \"\", ";

TEST(EngineWrappersTest, EachCallReachesTheEmbedderWithTheHandlesItGaveOut) {
  testing_fakes::RecordingEngine embedder;
  testing_fakes::RecordingMessenger messenger;
  testing_support::LogCapture log;
  embedder.messenger = messenger.handle();
  std::optional<FlutterDesktopLResult> answer;
  embedder.window_proc = [&](FlutterDesktopWindowMessage) { return answer; };
  flutter::EngineProject project(L"data");
  project.SetEntrypointArguments({"--one", "", "two"});
  auto controller = std::make_unique<flutter::FlutterViewController>(450, 862, project);
  ASSERT_NE(controller->View(), nullptr);
  EXPECT_EQ(embedder.Name(controller->Engine()->RegistrarForPlugin("RivePlugin")), "r1");
  EXPECT_EQ(embedder.Name(controller->View()->NativeWindow()), "w1");
  controller->Engine()->ReloadSystemFonts();
  controller->Engine()->Messenger()->Send("some_channel", nullptr, 0);
  // A message the embedder leaves gives no result, not a zero result.
  const auto window = reinterpret_cast<FlutterDesktopNativeWindow>(uintptr_t{0x1234});
  EXPECT_EQ(controller->HandleTopLevelWindowProc(window, 0x001D, 7, -8), std::nullopt);
  answer = 0;
  EXPECT_EQ(controller->HandleTopLevelWindowProc(window, 0x001D, 7, -8), answer);
  controller.reset();

  // Only the view controller is destroyed; the embedder ends the engine with it.
  const std::string offered = "ViewControllerHandleTopLevelWindowProc(c1, 4660, 29, 7, -8)";
  EXPECT_THAT(
      embedder.calls,
      ElementsAre(kCreated + std::string("3, [--one, , two]) = e1"), "EngineGetMessenger(e1)",
                  "ViewControllerCreate(e1, 450x862) = c1", "ViewControllerGetView(c1) = v1",
                  "EngineGetPluginRegistrar(e1, RivePlugin) = r1", "ViewGetHWND(v1) = w1",
                  "EngineReloadSystemFonts(e1)", offered, offered, "ViewControllerDestroy(c1)"));
  EXPECT_EQ(messenger.CallsTo(testing_fakes::MessengerFunction::kSend).at(0).messenger,
            messenger.handle());
  EXPECT_EQ(log.Err(), "");
}

TEST(EngineWrappersTest, OnlyAnEngineNeverHandedOverIsDestroyedByItsWrapper) {
  testing_fakes::RecordingEngine embedder;
  {
    flutter::FlutterEngine kept(flutter::EngineProject(L"data"));
    flutter::FlutterEngine handed_over(flutter::EngineProject(L"data"));
    EXPECT_EQ(embedder.Name(handed_over.HandOverEngine()), "e2");
    // The stored handle still serves registrar lookups.
    handed_over.RegistrarForPlugin("TrayManagerPlugin");
  }
  EXPECT_THAT(embedder.calls, ElementsAre(StartsWith(kCreated), "EngineGetMessenger(e1)",
                                          StartsWith(kCreated), "EngineGetMessenger(e2)",
                                          "EngineGetPluginRegistrar(e2, TrayManagerPlugin) = r1",
                                          "EngineDestroy(e1)"));
}

// Either creation may fail; the embedder has then ended the engine, if there was one, and nothing
// may reach it or the missing view controller any more.
TEST(EngineWrappersTest, WithoutAViewControllerNothingMoreReachesTheEmbedder) {
  for (const bool engine_fails : {true, false}) {
    SCOPED_TRACE(engine_fails ? "engine" : "view controller");
    testing_fakes::RecordingEngine embedder;
    testing_support::LogCapture log;
    embedder.fail_engine_creation = engine_fails;
    embedder.fail_view_controller_creation = !engine_fails;
    {
      flutter::FlutterViewController controller(100, 80, flutter::EngineProject(L"data"));
      EXPECT_EQ(controller.View(), nullptr);
      EXPECT_EQ(controller.Engine()->RegistrarForPlugin("RivePlugin"), nullptr);
      controller.Engine()->ReloadSystemFonts();
      EXPECT_EQ(controller.HandleTopLevelWindowProc({}, 0x0010, 1, 2), std::nullopt);
    }
    // Without arguments the array is null, not empty.
    std::vector<std::string> expected = {kCreated + std::string("0, null) = null")};
    if (!engine_fails) {
      expected = {kCreated + std::string("0, null) = e1"), "EngineGetMessenger(e1)",
                  "ViewControllerCreate(e1, 100x80) = null"};
    }
    EXPECT_EQ(embedder.calls, expected);
    EXPECT_EQ(log.Err(),
              "Failed to create view controller.\n"
              "Cannot get plugin registrar on an engine that isn't running; call Run first.\n");
  }
}

}  // namespace
}  // namespace shell_testing
