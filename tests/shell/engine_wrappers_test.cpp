#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "shell/embedder/engine_project.h"
#include "shell/embedder/flutter_engine.h"
#include "shell/embedder/flutter_view_controller.h"
#include "tests/fakes/recording_engine.h"
#include "tests/support/log_capture.h"

namespace shell_testing {
namespace {

using testing::ElementsAre;
using testing::StartsWith;

constexpr char kCreated[] =
    "EngineCreate(data\\flutter_assets, data\\icudtl.dat, data\\app.so, \"\", ";

// The view controller's calls, and the messages it is offered, show in the window's tests.
TEST(EngineWrappersTest, TheEngineGetsItsArgumentsAndOnlyOneNeverHandedOverIsDestroyed) {
  testing_fakes::RecordingEngine embedder;
  {
    flutter::EngineProject project(L"data");
    project.SetEntrypointArguments({"--one", "", "two"});
    flutter::FlutterEngine kept(project);
    flutter::FlutterEngine handed_over(flutter::EngineProject(L"data"));
    EXPECT_EQ(embedder.Name(handed_over.HandOverEngine()), "e2");
    // The stored handle still serves registrar lookups.
    handed_over.RegistrarForPlugin("TrayManagerPlugin");
  }
  EXPECT_THAT(
      embedder.calls,
      ElementsAre(kCreated + std::string("3, [--one, , two]) = e1"), "EngineGetMessenger(e1)",
                  StartsWith(kCreated), "EngineGetMessenger(e2)",
                  "EngineGetPluginRegistrar(e2, TrayManagerPlugin) = r1", "EngineDestroy(e1)"));
}

// A failed engine is ended by the embedder; nothing may reach it, or the missing view controller,
// any more. A failed view controller shows in the window's tests.
TEST(EngineWrappersTest, WithoutAnEngineNothingMoreReachesTheEmbedder) {
  testing_fakes::RecordingEngine embedder;
  testing_support::LogCapture log;
  embedder.fail_engine_creation = true;
  {
    flutter::FlutterViewController controller(100, 80, flutter::EngineProject(L"data"));
    EXPECT_EQ(controller.View(), nullptr);
    EXPECT_EQ(controller.Engine()->RegistrarForPlugin("RivePlugin"), nullptr);
    controller.Engine()->ReloadSystemFonts();
    EXPECT_EQ(controller.HandleTopLevelWindowProc({}, 0x0010, 1, 2), std::nullopt);
  }
  // Without arguments the array is null, not empty.
  EXPECT_THAT(embedder.calls, ElementsAre(kCreated + std::string("0, null) = null")));
  EXPECT_EQ(log.Err(),
            "Failed to create view controller.\n"
            "Cannot get plugin registrar on an engine that isn't running; call Run first.\n");
}

}  // namespace
}  // namespace shell_testing
