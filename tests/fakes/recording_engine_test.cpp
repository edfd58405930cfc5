#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/fakes/recording_engine.h"

// The tests built on the engine fake check that no handle was misused; that check must be able
// to fail, and the copies of the engine's properties must not depend on the caller's memory.
namespace testing_fakes {
namespace {

FlutterDesktopEngineRef CreateEngine() {
  std::string argument = "--verbose";
  const char* argv[] = {argument.c_str()};
  FlutterDesktopEngineProperties properties{};
  properties.dart_entrypoint_argc = 1;
  properties.dart_entrypoint_argv = argv;
  FlutterDesktopEngineRef engine = FlutterDesktopEngineCreate(&properties);
  argument.assign(argument.size(), 'X');
  return engine;
}

TEST(RecordingEngineTest, ARunThatKeepsTheRulesCountsNoMisuse) {
  RecordingEngine fake;
  FlutterDesktopEngineRef engine = CreateEngine();
  FlutterDesktopViewControllerRef controller = FlutterDesktopViewControllerCreate(10, 10, engine);
  FlutterDesktopViewRef view = FlutterDesktopViewControllerGetView(controller);
  ASSERT_NE(FlutterDesktopViewGetHWND(view), FlutterDesktopNativeWindow{});
  FlutterDesktopViewControllerDestroy(controller);

  EXPECT_EQ(fake.Calls().at(0).properties->arguments, std::vector<std::string>{"--verbose"});
  EXPECT_EQ(fake.LiveEngines(), 0);
  EXPECT_EQ(fake.MisusedHandles(), 0);
  // The view ended with its controller.
  EXPECT_EQ(FlutterDesktopViewGetHWND(view), FlutterDesktopNativeWindow{});
  EXPECT_EQ(fake.MisusedHandles(), 1);
}

TEST(RecordingEngineTest, CountsEveryUseOfAnEngineThatIsNotTheCallersToUse) {
  RecordingEngine fake;
  FlutterDesktopEngineRef destroyed = CreateEngine();
  EXPECT_TRUE(FlutterDesktopEngineDestroy(destroyed));
  EXPECT_FALSE(FlutterDesktopEngineDestroy(destroyed));
  EXPECT_EQ(fake.MisusedHandles(), 1);

  // A view controller takes the engine over even when its creation fails, and ends it.
  fake.FailViewControllerCreation();
  FlutterDesktopEngineRef taken = CreateEngine();
  EXPECT_EQ(FlutterDesktopViewControllerCreate(10, 10, taken), nullptr);
  EXPECT_EQ(fake.LiveEngines(), 0);
  EXPECT_FALSE(FlutterDesktopEngineDestroy(taken));
  EXPECT_EQ(FlutterDesktopEngineGetPluginRegistrar(taken, "RivePlugin"), nullptr);
  // What a failed engine creation returned.
  EXPECT_EQ(FlutterDesktopEngineGetMessenger(nullptr), nullptr);
  EXPECT_EQ(fake.MisusedHandles(), 4);
}

}  // namespace
}  // namespace testing_fakes
