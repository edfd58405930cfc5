#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <objbase.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/end_to_end/staged_run.h"

// The staged program under Wine, started as a user starts it: the demo's own UI script, and
// beside it what only the whole program shows and the demo does not: a start-up that fails, a
// second instance, and an end while the children run.
namespace end_to_end {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;
using ::testing::StartsWith;

struct ImageSize {
  UINT width = 0;
  UINT height = 0;
};

// The size of the PNG file when the system's imaging component decodes all its pixels; zero when
// it cannot.
ImageSize DecodedPngSize(const std::filesystem::path& path) {
  using Microsoft::WRL::ComPtr;
  // COM stays set up on this thread for the rest of the test program.
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  ComPtr<IWICImagingFactory> factory;
  ComPtr<IWICBitmapDecoder> decoder;
  GUID container{};
  ComPtr<IWICBitmapFrameDecode> frame;
  ComPtr<IWICFormatConverter> converter;
  ImageSize size;
  if ((FAILED(com) && com != RPC_E_CHANGED_MODE) ||
      FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                              IID_PPV_ARGS(&factory))) ||
      FAILED(factory->CreateDecoderFromFilename(path.c_str(), nullptr, GENERIC_READ,
                                                WICDecodeMetadataCacheOnDemand, &decoder)) ||
      FAILED(decoder->GetContainerFormat(&container)) || container != GUID_ContainerFormatPng ||
      FAILED(decoder->GetFrame(0, &frame)) || FAILED(frame->GetSize(&size.width, &size.height)) ||
      FAILED(factory->CreateFormatConverter(&converter)) ||
      FAILED(converter->Initialize(frame.Get(), GUID_WICPixelFormat24bppRGB,
                                   WICBitmapDitherTypeNone, nullptr, 0,
                                   WICBitmapPaletteTypeCustom))) {
    return {};
  }
  std::vector<BYTE> rgb(size_t{size.width} * size.height * 3);
  if (FAILED(converter->CopyPixels(nullptr, size.width * 3, static_cast<UINT>(rgb.size()),
                                   rgb.data()))) {
    return {};
  }
  return size;
}

// scripts/demo.jsonl, what scripts/demo plays: its own checks hold the event sequences, the
// answers, the screen size and the window closed to the background.
TEST(Demo, EveryCheckOfTheDemosScriptHoldsAndNoChildIsLeft) {
  const std::filesystem::path folder = CaseFolder("demo");
  StagedRun run(StageDirectory(), folder, DemoScript());
  const bool finished = run.Finish();
  const std::vector<DWORD> left = EndRunningChildren(run);

  ASSERT_TRUE(finished) << run.Describe();
  EXPECT_EQ(run.exit_code(), 0u) << run.Describe();
  EXPECT_TRUE(run.Passed()) << run.Describe();
  EXPECT_THAT(left, IsEmpty()) << "both connections were stopped";
  // The asset locations are published before anything else: the engine starts only after them.
  const std::vector<std::string> output = run.OutputLines();
  const std::vector<std::string> environment = EnvironmentLines(StageDirectory());
  ASSERT_GT(output.size(), environment.size()) << run.Describe();
  EXPECT_THAT(std::vector<std::string>(output.begin(), output.begin() + environment.size()),
              ElementsAreArray(environment));
  EXPECT_THAT(output[environment.size()], StartsWith("arguments "));
  // On the suite's 96-DPI display the window has its logical place and size.
  EXPECT_THAT(run.Transcript(),
              Contains("window visible=1 foreground=1 x=10 y=10 width=360 height=690 minimized=0"));
  // The screenshot that the demo saves is a PNG of that window.
  const ImageSize shot = DecodedPngSize(folder / "out" / "demo-connected.png");
  EXPECT_EQ(shot.width, 360u);
  EXPECT_EQ(shot.height, 690u);
}

TEST(StartUp, WithoutTheAssetsFolderTheViewFailsAndTheProgramExitsOne) {
  const std::filesystem::path folder = CaseFolder("no_assets");
  const std::filesystem::path stage = folder / "stage";
  std::filesystem::copy(StageDirectory(), stage, std::filesystem::copy_options::recursive);
  std::filesystem::remove_all(stage / "data" / "flutter_assets");
  StagedRun run(stage, folder, WriteScript(folder, R"({"do":"destroy"})"));
  ASSERT_TRUE(run.Finish()) << run.Describe();

  EXPECT_EQ(run.exit_code(), 1u) << run.Describe();
  EXPECT_THAT(run.ErrorLines(), Contains("Failed to create view controller."));
  // The engine was made and dropped: no view, no plugins, no channels, no UI side.
  EXPECT_THAT(run.Transcript(), ElementsAre(StartsWith("arguments "))) << run.Describe();
}

// The first instance hides its window and waits for a second launch to bring it back.
TEST(SingleInstance, ASecondLaunchExitsOneAndBringsTheRunningWindowBack) {
  const std::filesystem::path first_folder = CaseFolder("first_instance");
  const std::filesystem::path second_folder = CaseFolder("second_instance");
  StagedRun first(StageDirectory(), first_folder, WriteScript(first_folder, R"(
{"do":"window","expect":{"visible":1},"timeout_ms":5000}
{"do":"close"}
{"do":"window","expect":{"visible":0},"timeout_ms":5000}
{"do":"window","expect":{"visible":1,"foreground":1},"timeout_ms":60000}
{"do":"destroy"})"));
  ASSERT_TRUE(first.WaitForTranscriptLine("ok window visible=0")) << first.Describe();

  StagedRun second(StageDirectory(), second_folder,
                   WriteScript(second_folder, R"({"do":"destroy"})"));
  ASSERT_TRUE(second.Finish()) << second.Describe();
  EXPECT_EQ(second.exit_code(), 1u) << second.Describe();
  // Nothing after the environment lines: no engine, no window.
  EXPECT_THAT(second.OutputLines(), ElementsAreArray(EnvironmentLines(StageDirectory())));
  EXPECT_THAT(second.ErrorLines(), IsEmpty());

  ASSERT_TRUE(first.Finish()) << first.Describe();
  EXPECT_EQ(first.exit_code(), 0u) << first.Describe();
  EXPECT_TRUE(first.Passed()) << first.Describe();
}

// Worker threads are never joined and children are never terminated at exit: the program ends
// cleanly while both workers still wait on their children.
TEST(Shutdown, DestroyingTheWindowWhileChildrenRunExitsZeroAndLeavesThemRunning) {
  const std::filesystem::path folder = CaseFolder("shutdown");
  StagedRun run(StageDirectory(), folder, WriteScript(folder, R"(
{"do":"listen","channel":"openconnect_events","expect":null}
{"do":"listen","channel":"v2ray_events","expect":null}
{"do":"call","method":"toggleOpenConnect","args":["say=Using%20TAP-Windows%20device,sleep=30000","u","p"],"expect":0}
{"do":"expect_event","channel":"openconnect_events","value":4,"timeout_ms":20000}
{"do":"expect_event","channel":"openconnect_events","value":5,"timeout_ms":20000}
{"do":"call","method":"toggleV2ray","args":["","say=[Warning]%20core:%20Xray%20started,sleep=30000"],"expect":0}
{"do":"expect_event","channel":"v2ray_events","value":3,"timeout_ms":20000}
{"do":"expect_event","channel":"v2ray_events","value":8,"timeout_ms":20000}
{"do":"expect_event","channel":"v2ray_events","value":61,"timeout_ms":20000}
{"do":"destroy"})"));
  const bool finished = run.Finish();
  const std::vector<DWORD> left = EndRunningChildren(run);

  ASSERT_TRUE(finished) << run.Describe();
  EXPECT_EQ(run.exit_code(), 0u) << run.Describe();
  EXPECT_TRUE(run.Passed()) << run.Describe();
  const std::vector<std::string> transcript = run.Transcript();
  ASSERT_FALSE(transcript.empty());
  EXPECT_EQ(transcript.back(), "engine stopped");
  EXPECT_EQ(left.size(), 2u) << "both children still ran when the program ended";
}

}  // namespace
}  // namespace end_to_end
