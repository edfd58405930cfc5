#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/fakes/recording_engine.h"

// The engine fake must record faithfully, or the tests built on it would pass over real faults.
namespace testing_fakes {
namespace {

using testing::ElementsAre;

FlutterDesktopEngineRef CreateEngineWithArguments(std::vector<std::string> arguments) {
  const std::wstring assets = L"data\\flutter_assets";
  auto argv = std::make_unique<const char*[]>(arguments.size());
  for (size_t index = 0; index < arguments.size(); ++index) {
    argv[index] = arguments[index].c_str();
  }
  FlutterDesktopEngineProperties properties{};
  properties.assets_path = assets.c_str();
  properties.icu_data_path = L"data\\icudtl.dat";
  properties.aot_library_path = L"data\\app.so";
  properties.dart_entrypoint = "";
  properties.dart_entrypoint_argc = static_cast<int>(arguments.size());
  properties.dart_entrypoint_argv = arguments.empty() ? nullptr : argv.get();
  FlutterDesktopEngineRef engine = FlutterDesktopEngineCreate(&properties);
  // What the caller passed is gone once the call has returned.
  for (std::string& argument : arguments) {
    argument.assign(argument.size(), 'X');
  }
  return engine;
}

TEST(RecordingEngineTest, RecordsTheStartAndEndOfARunWithTheHandlesPassed) {
  RecordingEngine fake;
  FlutterDesktopEngineRef engine = CreateEngineWithArguments({"--verbose", "two words"});
  FlutterDesktopMessengerRef messenger = FlutterDesktopEngineGetMessenger(engine);
  FlutterDesktopViewControllerRef controller = FlutterDesktopViewControllerCreate(450, 862, engine);
  FlutterDesktopViewRef view = FlutterDesktopViewControllerGetView(controller);
  FlutterDesktopPluginRegistrarRef registrar =
      FlutterDesktopEngineGetPluginRegistrar(engine, "RivePlugin");
  FlutterDesktopNativeWindow window = FlutterDesktopViewGetHWND(view);
  FlutterDesktopViewControllerDestroy(controller);

  EXPECT_THAT(
      fake.FunctionNames(),
      ElementsAre("FlutterDesktopEngineCreate", "FlutterDesktopEngineGetMessenger",
                  "FlutterDesktopViewControllerCreate", "FlutterDesktopViewControllerGetView",
                  "FlutterDesktopEngineGetPluginRegistrar", "FlutterDesktopViewGetHWND",
                  "FlutterDesktopViewControllerDestroy"));
  const std::vector<EngineCall> calls = fake.Calls();
  ASSERT_TRUE(calls[0].properties.has_value());
  const RecordedEngineProperties& properties = *calls[0].properties;
  EXPECT_EQ(properties.assets_path, L"data\\flutter_assets");
  EXPECT_EQ(properties.aot_library_path, L"data\\app.so");
  EXPECT_EQ(properties.argument_count, 2);
  EXPECT_FALSE(properties.argument_array_is_null);
  EXPECT_THAT(properties.arguments, ElementsAre("--verbose", "two words"));
  EXPECT_EQ(calls[0].returned, engine);
  EXPECT_EQ(calls[1].handle, engine);
  EXPECT_EQ(calls[1].returned, messenger);
  EXPECT_EQ(calls[2].width, 450);
  EXPECT_EQ(calls[2].height, 862);
  EXPECT_EQ(calls[2].handle, engine);
  EXPECT_EQ(calls[3].handle, controller);
  EXPECT_EQ(calls[4].plugin_name, "RivePlugin");
  EXPECT_EQ(calls[4].returned, registrar);
  EXPECT_NE(registrar, nullptr);
  EXPECT_EQ(calls[5].handle, view);
  EXPECT_EQ(calls[5].returned, static_cast<const void*>(window));
  EXPECT_EQ(calls[6].handle, controller);
  // Destroying the view controller ended the engine it had taken over.
  EXPECT_EQ(fake.LiveEngines(), 0);
  EXPECT_EQ(fake.LiveViewControllers(), 0);
  EXPECT_EQ(fake.MisusedHandles(), 0);
}

TEST(RecordingEngineTest, RecordsAMissingArgumentArrayAsNull) {
  RecordingEngine fake;
  CreateEngineWithArguments({});
  const auto properties = fake.Calls().at(0).properties;
  ASSERT_TRUE(properties.has_value());
  EXPECT_EQ(properties->argument_count, 0);
  EXPECT_TRUE(properties->argument_array_is_null);
}

TEST(RecordingEngineTest, AFailedViewControllerCreationStillTakesTheEngineOver) {
  RecordingEngine fake;
  fake.FailViewControllerCreation();
  FlutterDesktopEngineRef engine = CreateEngineWithArguments({});

  EXPECT_EQ(FlutterDesktopViewControllerCreate(10, 10, engine), nullptr);
  EXPECT_EQ(fake.LiveEngines(), 0);
  // The engine is the embedder's now; destroying it is a misuse.
  EXPECT_FALSE(FlutterDesktopEngineDestroy(engine));
  EXPECT_EQ(fake.MisusedHandles(), 1);
}

TEST(RecordingEngineTest, AnEngineNotHandedOverCanBeDestroyedOnce) {
  RecordingEngine fake;
  FlutterDesktopEngineRef engine = CreateEngineWithArguments({});

  EXPECT_TRUE(FlutterDesktopEngineDestroy(engine));
  EXPECT_FALSE(FlutterDesktopEngineDestroy(engine));
  EXPECT_EQ(fake.MisusedHandles(), 1);
}

TEST(RecordingEngineTest, AFailedEngineCreationPassesNullOn) {
  RecordingEngine fake;
  fake.FailEngineCreation();
  FlutterDesktopEngineRef engine = CreateEngineWithArguments({});

  EXPECT_EQ(engine, nullptr);
  EXPECT_EQ(FlutterDesktopEngineGetMessenger(engine), nullptr);
  EXPECT_EQ(FlutterDesktopViewControllerCreate(10, 10, engine), nullptr);
  EXPECT_EQ(fake.MisusedHandles(), 0);
}

TEST(RecordingEngineTest, AnswersTopLevelWindowMessagesAsConfigured) {
  RecordingEngine fake;
  fake.SetWindowProcHandler([](FlutterDesktopWindowMessage message) {
    return message == 0x1D ? std::optional<FlutterDesktopLResult>(42) : std::nullopt;
  });
  FlutterDesktopViewControllerRef controller =
      FlutterDesktopViewControllerCreate(10, 10, CreateEngineWithArguments({}));

  FlutterDesktopLResult result = 0;
  EXPECT_TRUE(FlutterDesktopViewControllerHandleTopLevelWindowProc(
      controller, FlutterDesktopNativeWindow{}, 0x1D, 1, 2, &result));
  EXPECT_EQ(result, 42);
  result = 7;
  EXPECT_FALSE(FlutterDesktopViewControllerHandleTopLevelWindowProc(
      controller, FlutterDesktopNativeWindow{}, 0x10, 0, 0, &result));
  EXPECT_EQ(result, 7);

  const EngineCall handled = fake.Calls().at(2);
  EXPECT_EQ(handled.handle, controller);
  EXPECT_EQ(handled.message, 0x1Du);
  EXPECT_EQ(handled.wparam, 1u);
  EXPECT_EQ(handled.lparam, 2);
  EXPECT_THAT(fake.FunctionNamesWithoutWindowMessages(),
              ElementsAre("FlutterDesktopEngineCreate", "FlutterDesktopViewControllerCreate"));
}

TEST(RecordingEngineTest, ReportsTheConfiguredDpi) {
  RecordingEngine fake;
  EXPECT_EQ(FlutterDesktopGetDpiForMonitor(FlutterDesktopMonitor{}), 96u);
  fake.SetDpi(144);
  EXPECT_EQ(FlutterDesktopGetDpiForMonitor(FlutterDesktopMonitor{}), 144u);
}

}  // namespace
}  // namespace testing_fakes
