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
using testing::ElementsAreArray;
using testing::IsEmpty;
using testing_fakes::EngineCall;

constexpr char kCreate[] = "FlutterDesktopEngineCreate";
constexpr char kGetMessenger[] = "FlutterDesktopEngineGetMessenger";
constexpr char kGetRegistrar[] = "FlutterDesktopEngineGetPluginRegistrar";
constexpr char kCreateController[] = "FlutterDesktopViewControllerCreate";

// A call of the embedder: its function and the handle it was given.
using Step = std::pair<std::string, const void*>;

std::vector<Step> Steps(const testing_fakes::RecordingEngine& embedder) {
  std::vector<Step> steps;
  for (const EngineCall& call : embedder.Calls()) {
    steps.emplace_back(call.function, call.handle);
  }
  return steps;
}

class EngineWrappersTest : public testing::Test {
 protected:
  void TearDown() override { EXPECT_EQ(embedder_.MisusedHandles(), 0); }

  testing_fakes::RecordingEngine embedder_;
  testing_support::LogCapture log_;
};

TEST_F(EngineWrappersTest, EngineGetsTheProjectsPathsAndItsArgumentsOrANullArray) {
  for (const std::vector<std::string>& arguments :
       {std::vector<std::string>{"--one", "", "two"}, std::vector<std::string>{}}) {
    SCOPED_TRACE(arguments.size());
    embedder_.ClearCalls();
    flutter::EngineProject project(L"data");
    project.SetEntrypointArguments(std::vector<std::string>(arguments));
    const flutter::FlutterViewController controller(100, 80, project);

    const std::optional<testing_fakes::RecordedEngineProperties> properties =
        embedder_.Calls().at(0).properties;
    ASSERT_TRUE(properties.has_value());
    EXPECT_EQ(properties->assets_path, L"data\\flutter_assets");
    EXPECT_EQ(properties->icu_data_path, L"data\\icudtl.dat");
    EXPECT_EQ(properties->aot_library_path, L"data\\app.so");
    EXPECT_EQ(properties->dart_entrypoint, "");
    EXPECT_EQ(properties->argument_count, static_cast<int>(arguments.size()));
    EXPECT_THAT(properties->arguments, ElementsAreArray(arguments));
    EXPECT_EQ(properties->argument_array_is_null, arguments.empty());
  }
}

TEST_F(EngineWrappersTest, EachLifecycleStepReachesTheEmbedderWithTheHandlesItGaveOut) {
  testing_fakes::RecordingMessenger messenger;
  embedder_.SetMessenger(messenger.handle());
  auto controller =
      std::make_unique<flutter::FlutterViewController>(450, 862, flutter::EngineProject(L"data"));
  const std::vector<EngineCall> start = embedder_.Calls();
  ASSERT_EQ(start.size(), 4u);
  ASSERT_NE(controller->View(), nullptr);
  const FlutterDesktopPluginRegistrarRef registrar =
      controller->Engine()->RegistrarForPlugin("RivePlugin");
  const FlutterDesktopNativeWindow window = controller->View()->NativeWindow();
  controller->Engine()->ReloadSystemFonts();
  controller->Engine()->Messenger()->Send("some_channel", nullptr, 0);
  controller.reset();

  const void* engine = start[0].returned;
  const void* view_controller = start[2].returned;
  // Only the view controller is destroyed; the embedder ends the engine with it.
  EXPECT_THAT(
      Steps(embedder_),
      ElementsAre(Step{kCreate, nullptr}, Step{kGetMessenger, engine},
                  Step{kCreateController, engine},
                  Step{"FlutterDesktopViewControllerGetView", view_controller},
                  Step{kGetRegistrar, engine}, Step{"FlutterDesktopViewGetHWND", start[3].returned},
                  Step{"FlutterDesktopEngineReloadSystemFonts", engine},
                  Step{"FlutterDesktopViewControllerDestroy", view_controller}));
  const std::vector<EngineCall> calls = embedder_.Calls();
  EXPECT_EQ(calls[2].width, 450);
  EXPECT_EQ(calls[2].height, 862);
  EXPECT_EQ(calls[4].plugin_name, "RivePlugin");
  EXPECT_EQ(calls[4].returned, registrar);
  EXPECT_EQ(calls[5].returned, static_cast<const void*>(window));
  EXPECT_EQ(messenger.CallsTo(testing_fakes::MessengerFunction::kSend).at(0).messenger,
            messenger.handle());
  EXPECT_EQ(embedder_.LiveEngines(), 0);
  EXPECT_EQ(log_.Err(), "");
}

TEST_F(EngineWrappersTest, OnlyAnEngineNeverHandedOverIsDestroyedByItsWrapper) {
  const void* handed_over_engine = nullptr;
  {
    flutter::FlutterEngine kept(flutter::EngineProject(L"data"));
    flutter::FlutterEngine handed_over(flutter::EngineProject(L"data"));
    handed_over_engine = handed_over.HandOverEngine();
    // The stored handle still serves registrar lookups.
    EXPECT_NE(handed_over.RegistrarForPlugin("TrayManagerPlugin"), nullptr);
  }
  const void* kept_engine = embedder_.Calls().at(0).returned;
  EXPECT_THAT(
      Steps(embedder_),
      ElementsAre(Step{kCreate, nullptr}, Step{kGetMessenger, kept_engine}, Step{kCreate, nullptr},
                  Step{kGetMessenger, handed_over_engine}, Step{kGetRegistrar, handed_over_engine},
                  Step{"FlutterDesktopEngineDestroy", kept_engine}));
  EXPECT_EQ(embedder_.LiveEngines(), 1);
}

// Either creation may fail; the embedder has then ended the engine, if there was one, and nothing
// may reach it or the missing view controller any more.
TEST(EngineWrapperFailureTest, WithoutAViewControllerNothingMoreReachesTheEmbedder) {
  struct Failure {
    bool engine_fails;
    std::vector<std::string> calls_at_start;
  };
  for (const Failure& failure :
       {Failure{true, {kCreate}}, Failure{false, {kCreate, kGetMessenger, kCreateController}}}) {
    const bool engine_fails = failure.engine_fails;
    SCOPED_TRACE(engine_fails ? "engine" : "view controller");
    testing_fakes::RecordingEngine embedder;
    testing_support::LogCapture log;
    if (engine_fails) {
      embedder.FailEngineCreation();
    } else {
      embedder.FailViewControllerCreation();
    }
    {
      flutter::FlutterViewController controller(100, 80, flutter::EngineProject(L"data"));
      EXPECT_EQ(embedder.FunctionNames(), failure.calls_at_start);
      EXPECT_EQ(controller.View(), nullptr);
      embedder.ClearCalls();
      EXPECT_EQ(controller.Engine()->RegistrarForPlugin("RivePlugin"), nullptr);
      controller.Engine()->ReloadSystemFonts();
      EXPECT_EQ(controller.HandleTopLevelWindowProc({}, 0x0010, 1, 2), std::nullopt);
    }
    EXPECT_THAT(embedder.FunctionNames(), IsEmpty());
    EXPECT_EQ(log.Err(),
              "Failed to create view controller.\n"
              "Cannot get plugin registrar on an engine that isn't running; call Run first.\n");
    EXPECT_EQ(embedder.LiveEngines(), 0);
    EXPECT_EQ(embedder.MisusedHandles(), 0);
  }
}

TEST_F(EngineWrappersTest, AWindowMessageTheEmbedderLeavesGivesNoResultNotAZeroResult) {
  bool handles = false;
  embedder_.SetWindowProcHandler([&](FlutterDesktopWindowMessage) {
    return handles ? std::optional<FlutterDesktopLResult>(0) : std::nullopt;
  });
  flutter::FlutterViewController controller(100, 80, flutter::EngineProject(L"data"));
  const void* controller_handle = embedder_.Calls().at(2).returned;
  embedder_.ClearCalls();
  const auto window = reinterpret_cast<FlutterDesktopNativeWindow>(uintptr_t{0x1234});

  EXPECT_EQ(controller.HandleTopLevelWindowProc(window, 0x001D, 7, -8), std::nullopt);
  handles = true;
  EXPECT_EQ(controller.HandleTopLevelWindowProc(window, 0x001D, 7, -8),
            std::optional<FlutterDesktopLResult>(0));

  ASSERT_EQ(embedder_.Calls().size(), 2u);
  const EngineCall offered = embedder_.Calls()[1];
  EXPECT_EQ(offered.handle, controller_handle);
  EXPECT_EQ(offered.window, window);
  EXPECT_EQ(offered.message, 0x001Du);
  EXPECT_EQ(offered.wparam, FlutterDesktopWParam{7});
  EXPECT_EQ(offered.lparam, FlutterDesktopLParam{-8});
}

}  // namespace
}  // namespace shell_testing
