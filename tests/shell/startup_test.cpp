#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "base/log.h"
#include "base/utf_conversion.h"
#include "shell/command_line_arguments.h"
#include "shell/debug_console.h"
#include "shell/startup.h"
#include "tests/fakes/recording_engine.h"
#include "tests/shell/shell_test_helpers.h"
#include "tests/support/log_capture.h"

namespace shell_testing {
namespace {

using testing::ElementsAre;
using testing::HasSubstr;

// "a", an unpaired high surrogate, "b".
constexpr wchar_t kUnpairedHigh[] = {L'a', 0xD800, L'b', 0};

TEST(ArgumentsFromCommandLineTest, SkipsTheProgramPathAndLeavesAnUnconvertibleArgumentEmpty) {
  const std::wstring unpaired =
      std::wstring(L"quorvanta.exe first ") + kUnpairedHigh + L" \"\" last";
  EXPECT_THAT(ArgumentsFromCommandLine(L"\"C:\\Quorvanta dir\\quorvanta.exe\" one \"two words\" 3"),
              ElementsAre("one", "two words", "3"));
  EXPECT_THAT(ArgumentsFromCommandLine(L"\"C:\\Quorvanta dir\\quorvanta.exe\""), ElementsAre());
  EXPECT_THAT(ArgumentsFromCommandLine(unpaired.c_str()), ElementsAre("first", "", "", "last"));
}

// Started without a console: opens one, then writes a line that must no longer reach the
// original standard output. Opening a second console fails and changes nothing.
int OpenConsoleAndWrite() {
  testing_fakes::RecordingEngine engine;
  logging::Out("before the console");
  if (GetConsoleWindow() != nullptr) return 20;
  OpenDebugConsole();
  if (GetConsoleWindow() == nullptr) return 21;
  logging::Out("after the console");
  logging::Err("error after the console");
  OpenDebugConsole();
  return engine.calls == std::vector<std::string>{"ResyncOutputStreams()"} ? 0 : 22;
}

const bool kOpenConsoleRegistered = RegisterChildRole("open-console", &OpenConsoleAndWrite);

TEST(OpenDebugConsoleTest, PointsTheStandardStreamsAtANewConsole) {
  ASSERT_TRUE(kOpenConsoleRegistered);
  const ChildRun child = RunSelfAs("open-console", DETACHED_PROCESS);
  ASSERT_TRUE(child.exited_in_time);
  EXPECT_EQ(child.exit_code, 0u) << child.output;
  EXPECT_THAT(child.output, HasSubstr("before the console"));
  EXPECT_THAT(child.output, testing::Not(HasSubstr("after the console")));
}

// An install folder under a user profile whose name is not plain ASCII.
constexpr wchar_t kDirectory[] = L"C:\\Users\\Zo\u00eb\\Quorvanta";
constexpr char kVariableLines[] =
    "Setting environment variables:\n"
    "v2ray.location.asset = C:\\Users\\Zo\xC3\xAB\\Quorvanta\n"
    "xray.location.asset = C:\\Users\\Zo\xC3\xAB\\Quorvanta\n";

TEST(PublishAssetLocationsTest, WritesTheLinesAndSetsBothVariablesInTheEnvironmentChildrenInherit) {
  testing_support::LogCapture log;
  ASSERT_TRUE(PublishAssetLocations(kDirectory));
  EXPECT_EQ(log.Out(), std::string(kVariableLines) + "Environment variables set successfully.\n");
  EXPECT_EQ(log.Err(), "");
  // The process's environment block, which a child started without one of its own inherits.
  for (const wchar_t* name : {L"v2ray.location.asset", L"xray.location.asset"}) {
    std::wstring value(32768, L'\0');
    value.resize(GetEnvironmentVariableW(name, value.data(), static_cast<DWORD>(value.size())));
    EXPECT_EQ(value, kDirectory);
  }
}

// The names the setter was asked for, and which of them it refuses (counted from 1).
std::vector<std::wstring> tried_variables;
size_t refused_variable = 0;

TEST(PublishAssetLocationsTest, AVariableThatCannotBeSetEndsThePublishingThere) {
  const wchar_t* const names[] = {L"v2ray.location.asset", L"xray.location.asset"};
  for (refused_variable = 1; refused_variable <= std::size(names); ++refused_variable) {
    SCOPED_TRACE(refused_variable);
    testing_support::LogCapture log;
    tried_variables.clear();
    EXPECT_FALSE(PublishAssetLocations(kDirectory, [](const wchar_t* name, const std::wstring&) {
      tried_variables.push_back(name);
      return tried_variables.size() != refused_variable;
    }));
    EXPECT_EQ(tried_variables, std::vector<std::wstring>(names, names + refused_variable));
    EXPECT_EQ(log.Out(), kVariableLines);
    EXPECT_EQ(log.Err(), "Failed to set " + base::WideToUtf8(names[refused_variable - 1]) + "\n");
  }
}

}  // namespace
}  // namespace shell_testing
