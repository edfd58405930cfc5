#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "tests/end_to_end/staged_run.h"
#include "tests/vpn/vpn_test_fixture.h"

// The staged program under Wine: how it starts, refuses a second instance and places its window.
namespace end_to_end {
namespace {

using ::testing::Contains;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;
using vpn_testing::Utf8;

constexpr auto kWaitForFirstInstance = std::chrono::seconds(60);

bool StartsWith(const std::vector<std::string>& lines, const std::vector<std::string>& first) {
  return lines.size() >= first.size() && std::equal(first.begin(), first.end(), lines.begin());
}

TEST(StartUp, ArgumentsReachTheUiSideAndAnUnpairedSurrogateBecomesEmpty) {
  const std::filesystem::path folder = CaseFolder("arguments");
  // Raw UTF-16, as a shell would pass it: lone surrogates cannot be written in UTF-8.
  const std::wstring more =
      L"plain \"two words\" \xD800 caf\u00E9 lone\xDC00tail \xD83D\xDE00 last";
  StagedRun run(StageDirectory(), folder, UiScript().Act("destroy"), more);
  ASSERT_TRUE(run.Finish()) << run.Describe();

  EXPECT_EQ(run.program().exit_code(), 0u) << run.Describe();
  const std::vector<std::string> lines = run.Transcript().lines();
  ASSERT_FALSE(lines.empty()) << run.Describe();
  ASSERT_TRUE(lines.front().starts_with("arguments ")) << lines.front();
  const nlohmann::json expected = {run.script_argument(),
                                   run.transcript_argument(),
                                   "plain",
                                   "two words",
                                   "",
                                   "caf\xC3\xA9",
                                   "",
                                   "\xF0\x9F\x98\x80",
                                   "last"};
  EXPECT_EQ(nlohmann::json::parse(lines.front().substr(10)), expected);
}

TEST(StartUp, WithoutTheAssetsFolderTheViewFailsAndTheProgramExitsOne) {
  const std::filesystem::path folder = CaseFolder("no_assets");
  const std::filesystem::path stage = CopyOfStage(folder, Assets::kLeftOut);
  StagedRun run(stage, folder, UiScript().Act("destroy"));
  ASSERT_TRUE(run.Finish()) << run.Describe();

  EXPECT_EQ(run.program().exit_code(), 1u) << run.Describe();
  EXPECT_THAT(run.ErrorLines(), Contains("Failed to create view controller."));
  EXPECT_TRUE(StartsWith(run.OutputLines(), EnvironmentLines(stage))) << run.Describe();
  // The engine was made and dropped: no view, no plugins, no channels, no UI side.
  const std::vector<std::string> transcript = run.Transcript().lines();
  ASSERT_EQ(transcript.size(), 1u) << run.Describe();
  EXPECT_TRUE(transcript.front().starts_with("arguments ")) << transcript.front();
}

// The first instance hides its window, then waits for a second one to bring it back; then it
// minimizes it and waits for a third one to restore it.
TEST(SingleInstance, AnotherInstanceExitsOneAndBringsTheRunningWindowBack) {
  const std::filesystem::path folder = CaseFolder("single_instance");
  for (const char* name : {"first", "second", "third"}) {
    std::filesystem::create_directories(folder / name);
  }
  const nlohmann::json brought_back = {{"visible", 1}, {"foreground", 1}, {"minimized", 0}};
  constexpr int64_t kWaitForOtherInstanceMs = 60000;
  UiScript script;
  script.ExpectWindow({{"visible", 1}})
      .Act("close")
      .ExpectWindow({{"visible", 0}})
      .ExpectWindow(brought_back, kWaitForOtherInstanceMs)
      .Act("minimize")
      .ExpectWindow({{"minimized", 1}})
      .ExpectWindow(brought_back, kWaitForOtherInstanceMs)
      .Act("destroy");
  StagedRun first(StageDirectory(), folder / "first", script);
  ASSERT_TRUE(first.started());

  // Each of the others starts once the first one's window is in the state it is to leave.
  const std::pair<const char*, const char*> others[] = {{"second", "ok window visible=0\r\n"},
                                                        {"third", "ok window minimized=1\r\n"}};
  for (const auto& [other, waited_for] : others) {
    ASSERT_TRUE(first.program().WaitForOutput(waited_for, kWaitForFirstInstance))
        << first.Describe();
    StagedRun refused(StageDirectory(), folder / other, UiScript().Act("destroy"));
    ASSERT_TRUE(refused.Finish()) << refused.Describe();
    EXPECT_EQ(refused.program().exit_code(), 1u) << refused.Describe();
    // Nothing after the environment lines: no engine, no window.
    EXPECT_THAT(refused.OutputLines(), ElementsAreArray(EnvironmentLines(StageDirectory())));
    EXPECT_THAT(refused.ErrorLines(), IsEmpty());
  }

  ASSERT_TRUE(first.Finish()) << first.Describe();
  EXPECT_EQ(first.program().exit_code(), 0u) << first.Describe();
  const TranscriptLines transcript = first.Transcript();
  EXPECT_TRUE(transcript.Passed()) << first.Describe();
  EXPECT_EQ(std::count(transcript.lines().begin(), transcript.lines().end(),
                       "ok window visible=1 foreground=1 minimized=0"),
            2);
}

}  // namespace
}  // namespace end_to_end
