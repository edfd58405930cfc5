#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
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
using testing::IsEmpty;
using testing_fakes::EngineCall;

constexpr char kCreate[] = "FlutterDesktopEngineCreate";
constexpr char kDestroyEngine[] = "FlutterDesktopEngineDestroy";
constexpr char kGetMessenger[] = "FlutterDesktopEngineGetMessenger";
constexpr char kGetRegistrar[] = "FlutterDesktopEngineGetPluginRegistrar";
constexpr char kReloadFonts[] = "FlutterDesktopEngineReloadSystemFonts";
constexpr char kCreateController[] = "FlutterDesktopViewControllerCreate";
constexpr char kDestroyController[] = "FlutterDesktopViewControllerDestroy";
constexpr char kGetView[] = "FlutterDesktopViewControllerGetView";
constexpr char kWindowProc[] = "FlutterDesktopViewControllerHandleTopLevelWindowProc";
constexpr char kGetWindow[] = "FlutterDesktopViewGetHWND";

constexpr char kNoViewController[] = "Failed to create view controller.\n";
constexpr char kNoEngine[] =
    "Cannot get plugin registrar on an engine that isn't running; call Run first.\n";

flutter::EngineProject ProjectWithArguments(std::vector<std::string> arguments) {
  flutter::EngineProject project(L"data");
  project.SetEntrypointArguments(std::move(arguments));
  return project;
}

class EngineWrappersTest : public testing::Test {
 protected:
  void TearDown() override { EXPECT_EQ(embedder_.MisusedHandles(), 0); }

  testing_fakes::RecordingEngine embedder_;
  testing_support::LogCapture log_;
};

TEST(EngineProjectTest, AppendsEachSuffixToTheBasePathAndReplacesTheArguments) {
  flutter::EngineProject project(L"C:/install\\data");
  EXPECT_EQ(project.assets_path(), L"C:/install\\data\\flutter_assets");
  EXPECT_EQ(project.icu_data_path(), L"C:/install\\data\\icudtl.dat");
  EXPECT_EQ(project.aot_library_path(), L"C:/install\\data\\app.so");
  EXPECT_EQ(project.entrypoint(), "");
  EXPECT_THAT(project.entrypoint_arguments(), IsEmpty());

  project.SetEntrypointArguments({"a", "b"});
  project.SetEntrypointArguments({"c"});
  EXPECT_THAT(project.entrypoint_arguments(), ElementsAre("c"));
}

TEST_F(EngineWrappersTest, StartCreatesHandsOverAndRunsTheEngineWithTheProjectsValues) {
  flutter::FlutterViewController controller(450, 862, ProjectWithArguments({"--one", "", "two"}));

  ASSERT_THAT(embedder_.FunctionNames(),
              ElementsAre(kCreate, kGetMessenger, kCreateController, kGetView));
  const std::vector<EngineCall> calls = embedder_.Calls();
  ASSERT_TRUE(calls[0].properties.has_value());
  const testing_fakes::RecordedEngineProperties& properties = *calls[0].properties;
  EXPECT_EQ(properties.assets_path, L"data\\flutter_assets");
  EXPECT_EQ(properties.icu_data_path, L"data\\icudtl.dat");
  EXPECT_EQ(properties.aot_library_path, L"data\\app.so");
  EXPECT_EQ(properties.dart_entrypoint, "");
  EXPECT_EQ(properties.argument_count, 3);
  EXPECT_THAT(properties.arguments, ElementsAre("--one", "", "two"));
  // Every handle goes on as the embedder gave it.
  EXPECT_EQ(calls[1].handle, calls[0].returned);
  EXPECT_EQ(calls[2].handle, calls[0].returned);
  EXPECT_EQ(calls[2].width, 450);
  EXPECT_EQ(calls[2].height, 862);
  EXPECT_EQ(calls[3].handle, calls[2].returned);
  ASSERT_NE(controller.View(), nullptr);
  ASSERT_NE(controller.Engine(), nullptr);
  EXPECT_EQ(embedder_.LiveViewControllers(), 1);
  EXPECT_EQ(log_.Err(), "");
}

TEST_F(EngineWrappersTest, NoArgumentsGiveTheEmbedderANullArrayAndACountOfZero) {
  flutter::FlutterViewController controller(10, 10, flutter::EngineProject(L"data"));

  const std::vector<EngineCall> calls = embedder_.Calls();
  ASSERT_TRUE(calls.at(0).properties.has_value());
  EXPECT_EQ(calls[0].properties->argument_count, 0);
  EXPECT_TRUE(calls[0].properties->argument_array_is_null);
}

TEST_F(EngineWrappersTest, SetUpAndRunningCallsReachTheEmbedderWithTheStoredHandles) {
  testing_fakes::RecordingMessenger messenger;
  embedder_.SetMessenger(messenger.handle());
  flutter::FlutterViewController controller(100, 80, flutter::EngineProject(L"data"));
  const std::vector<EngineCall> start = embedder_.Calls();
  const void* engine = start[0].returned;
  const void* view = start[3].returned;
  embedder_.ClearCalls();

  const FlutterDesktopPluginRegistrarRef registrar =
      controller.Engine()->RegistrarForPlugin("RivePlugin");
  const FlutterDesktopNativeWindow window = controller.View()->NativeWindow();
  controller.Engine()->ReloadSystemFonts();
  controller.Engine()->Messenger()->Send("some_channel", nullptr, 0);

  ASSERT_THAT(embedder_.FunctionNames(), ElementsAre(kGetRegistrar, kGetWindow, kReloadFonts));
  const std::vector<EngineCall> calls = embedder_.Calls();
  EXPECT_EQ(calls[0].handle, engine);
  EXPECT_EQ(calls[0].plugin_name, "RivePlugin");
  EXPECT_EQ(calls[0].returned, registrar);
  EXPECT_NE(registrar, nullptr);
  EXPECT_EQ(calls[1].handle, view);
  EXPECT_EQ(calls[1].returned, static_cast<const void*>(window));
  EXPECT_EQ(calls[2].handle, engine);
  // The messenger wrapper talks to the engine's messenger.
  const auto sends = messenger.CallsTo(testing_fakes::MessengerFunction::kSend);
  ASSERT_EQ(sends.size(), 1u);
  EXPECT_EQ(sends[0].messenger, messenger.handle());
  EXPECT_EQ(sends[0].channel, "some_channel");
}

TEST_F(EngineWrappersTest, TheEndDestroysOnlyTheViewControllerWhichEndsTheEngine) {
  const void* controller_handle = nullptr;
  {
    flutter::FlutterViewController controller(100, 80, flutter::EngineProject(L"data"));
    controller_handle = embedder_.Calls().at(2).returned;
    embedder_.ClearCalls();
  }
  ASSERT_THAT(embedder_.FunctionNames(), ElementsAre(kDestroyController));
  EXPECT_EQ(embedder_.Calls()[0].handle, controller_handle);
  EXPECT_EQ(embedder_.LiveEngines(), 0);
  EXPECT_EQ(embedder_.LiveViewControllers(), 0);
}

TEST_F(EngineWrappersTest, OnlyAnEngineNeverHandedOverIsDestroyedByItsWrapper) {
  {
    flutter::FlutterEngine kept(flutter::EngineProject(L"data"));
    flutter::FlutterEngine handed_over(flutter::EngineProject(L"data"));
    const FlutterDesktopEngineRef engine = handed_over.HandOverEngine();
    // The stored handle still serves registrar lookups.
    EXPECT_NE(handed_over.RegistrarForPlugin("TrayManagerPlugin"), nullptr);
    EXPECT_EQ(embedder_.Calls().back().handle, engine);
  }
  EXPECT_THAT(embedder_.FunctionNames(), ElementsAre(kCreate, kGetMessenger, kCreate, kGetMessenger,
                                                     kGetRegistrar, kDestroyEngine));
  EXPECT_EQ(embedder_.Calls().back().handle, embedder_.Calls()[0].returned);
  EXPECT_EQ(embedder_.LiveEngines(), 1);
}

TEST_F(EngineWrappersTest, AViewControllerThatCannotBeCreatedLeavesNoViewAndEndsQuietly) {
  embedder_.FailViewControllerCreation();
  {
    flutter::FlutterViewController controller(100, 80, flutter::EngineProject(L"data"));
    EXPECT_THAT(embedder_.FunctionNames(), ElementsAre(kCreate, kGetMessenger, kCreateController));
    EXPECT_EQ(controller.View(), nullptr);
    ASSERT_NE(controller.Engine(), nullptr);
    EXPECT_EQ(log_.Err(), kNoViewController);
    embedder_.ClearCalls();
    log_.Clear();

    // The embedder ended the engine with the failed view controller: nothing may reach it with
    // that engine or with the missing view controller.
    EXPECT_EQ(controller.Engine()->RegistrarForPlugin("RivePlugin"), nullptr);
    EXPECT_EQ(log_.Err(), kNoEngine);
    controller.Engine()->ReloadSystemFonts();
    EXPECT_EQ(controller.HandleTopLevelWindowProc({}, 0x0010, 1, 2), std::nullopt);
  }
  EXPECT_THAT(embedder_.FunctionNames(), IsEmpty());
  EXPECT_EQ(embedder_.LiveEngines(), 0);
}

TEST_F(EngineWrappersTest, AnEngineThatCannotBeCreatedEndsOnTheSameFailurePath) {
  embedder_.FailEngineCreation();
  {
    flutter::FlutterViewController controller(100, 80, flutter::EngineProject(L"data"));
    EXPECT_EQ(controller.View(), nullptr);
    EXPECT_EQ(controller.Engine()->RegistrarForPlugin("RivePlugin"), nullptr);
  }
  // A null engine is passed to nothing.
  EXPECT_THAT(embedder_.FunctionNames(), ElementsAre(kCreate));
  EXPECT_EQ(log_.Err(), std::string(kNoViewController) + kNoEngine);
}

TEST_F(EngineWrappersTest, AWindowMessageTheEmbedderLeavesGivesNoResultNotAZeroResult) {
  std::optional<FlutterDesktopWindowMessage> handled_message;
  embedder_.SetWindowProcHandler(
      [&](FlutterDesktopWindowMessage message) -> std::optional<FlutterDesktopLResult> {
        if (message == handled_message) {
          return 0;
        }
        return std::nullopt;
      });
  flutter::FlutterViewController controller(100, 80, flutter::EngineProject(L"data"));
  const void* controller_handle = embedder_.Calls().at(2).returned;
  embedder_.ClearCalls();
  const auto window = reinterpret_cast<FlutterDesktopNativeWindow>(uintptr_t{0x1234});

  EXPECT_EQ(controller.HandleTopLevelWindowProc(window, 0x001D, 7, -8), std::nullopt);
  handled_message = 0x001D;
  EXPECT_EQ(controller.HandleTopLevelWindowProc(window, 0x001D, 7, -8),
            std::optional<FlutterDesktopLResult>(0));

  const std::vector<EngineCall> calls = embedder_.Calls();
  ASSERT_EQ(calls.size(), 2u);
  for (const EngineCall& call : calls) {
    EXPECT_EQ(call.function, kWindowProc);
    EXPECT_EQ(call.handle, controller_handle);
    EXPECT_EQ(call.window, window);
    EXPECT_EQ(call.message, 0x001Du);
    EXPECT_EQ(call.wparam, FlutterDesktopWParam{7});
    EXPECT_EQ(call.lparam, FlutterDesktopLParam{-8});
    EXPECT_FALSE(call.result_pointer_is_null);
  }
}

}  // namespace
}  // namespace shell_testing
