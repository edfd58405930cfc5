#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <sstream>
#include <string>
#include <vector>

#include "base/log.h"
#include "shell/command_line_arguments.h"
#include "shell/debug_console.h"
#include "shell/wide_to_utf8.h"
#include "tests/fakes/recording_engine.h"
#include "tests/shell/child_role.h"

namespace shell_testing {
namespace {

using testing::ElementsAre;
using testing::HasSubstr;
using testing::IsEmpty;
using testing::Not;

constexpr auto kChildTimeout = std::chrono::seconds(60);

// "a", an unpaired high surrogate, "b".
constexpr wchar_t kUnpairedHigh[] = {L'a', 0xD800, L'b', 0};
// An unpaired low surrogate at the end.
constexpr wchar_t kUnpairedLow[] = {L'a', 0xDC00, 0};
// U+1F512 (a lock) as its surrogate pair, then U+00E9.
constexpr wchar_t kPairAndAccent[] = {0xD83D, 0xDD12, 0x00E9, 0};

TEST(WideToUtf8Test, ConvertsValidText) {
  EXPECT_EQ(WideToUtf8(L"C:\\Program Files\\Quorvanta"), "C:\\Program Files\\Quorvanta");
  EXPECT_EQ(WideToUtf8(kPairAndAccent), "\xF0\x9F\x94\x92\xC3\xA9");
  EXPECT_EQ(WideToUtf8Strict(kPairAndAccent), "\xF0\x9F\x94\x92\xC3\xA9");
}

TEST(WideToUtf8Test, EmptyAndNullTextGiveEmptyStrings) {
  EXPECT_EQ(WideToUtf8(L""), "");
  EXPECT_EQ(WideToUtf8(nullptr), "");
  EXPECT_EQ(WideToUtf8Strict(L""), "");
  EXPECT_EQ(WideToUtf8Strict(nullptr), "");
}

TEST(WideToUtf8Test, LenientReplacesUnpairedSurrogatesAndStrictRefusesThem) {
  EXPECT_EQ(WideToUtf8(kUnpairedHigh),
            "a\xEF\xBF\xBD"
            "b");
  EXPECT_EQ(WideToUtf8(kUnpairedLow), "a\xEF\xBF\xBD");
  EXPECT_EQ(WideToUtf8Strict(kUnpairedHigh), "");
  EXPECT_EQ(WideToUtf8Strict(kUnpairedLow), "");
}

TEST(ArgumentsFromCommandLineTest, SkipsTheProgramPathAndKeepsTheOrder) {
  EXPECT_THAT(ArgumentsFromCommandLine(L"\"C:\\Quorvanta dir\\quorvanta.exe\" one \"two words\" 3"),
              ElementsAre("one", "two words", "3"));
  EXPECT_THAT(ArgumentsFromCommandLine(L"quorvanta.exe"), IsEmpty());
  EXPECT_THAT(ArgumentsFromCommandLine(L"\"C:\\Quorvanta dir\\quorvanta.exe\""), IsEmpty());
}

TEST(ArgumentsFromCommandLineTest, AnUnconvertibleArgumentBecomesEmptyInItsPlace) {
  std::wstring command_line = L"quorvanta.exe first ";
  command_line += kUnpairedHigh;
  command_line += L" \"\" last";
  EXPECT_THAT(ArgumentsFromCommandLine(command_line.c_str()), ElementsAre("first", "", "", "last"));
}

// Prints each of its own arguments on a line, in hexadecimal, so that any byte survives.
int PrintOwnArguments() {
  for (const std::string& argument : CommandLineArguments()) {
    std::ostringstream line;
    line << "argument:";
    for (unsigned char byte : argument) {
      line << ' ' << static_cast<int>(byte);
    }
    logging::Out(line.str());
  }
  return 0;
}

const bool kPrintArgumentsRegistered = RegisterChildRole("print-arguments", &PrintOwnArguments);

std::vector<std::string> ArgumentsPrinted(const std::string& output) {
  std::vector<std::string> arguments;
  std::istringstream lines(output);
  std::string line;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') {
      line.pop_back();
    }
    std::istringstream fields(line);
    std::string label;
    fields >> label;
    if (label != "argument:") {
      continue;
    }
    std::string argument;
    int byte = 0;
    while (fields >> byte) {
      argument.push_back(static_cast<char>(byte));
    }
    arguments.push_back(argument);
  }
  return arguments;
}

TEST(CommandLineArgumentsTest, ReadsTheProcesssOwnCommandLine) {
  ASSERT_TRUE(kPrintArgumentsRegistered);
  std::wstring extra = L"alpha \"beta gamma\" ";
  extra += kUnpairedHigh;
  extra += L" ";
  extra += kPairAndAccent;

  const ChildRun child = RunSelfAs("print-arguments", extra, kChildTimeout);

  ASSERT_TRUE(child.exited_in_time);
  ASSERT_EQ(child.exit_code, 0u);
  EXPECT_THAT(ArgumentsPrinted(child.output),
              ElementsAre("--child-role=print-arguments", "alpha", "beta gamma", "",
                          "\xF0\x9F\x94\x92\xC3\xA9"));
}

TEST(CommandLineArgumentsTest, ThePathAloneGivesOnlyTheRoleArgument) {
  const ChildRun child = RunSelfAs("print-arguments", L"", kChildTimeout);

  ASSERT_TRUE(child.exited_in_time);
  EXPECT_THAT(ArgumentsPrinted(child.output), ElementsAre("--child-role=print-arguments"));
}

// Started without a console: opens one, then writes a line that must no longer reach the
// original standard output. Opening a second console fails and changes nothing.
int OpenConsoleAndWrite() {
  testing_fakes::RecordingEngine engine;
  logging::Out("before the console");
  if (GetConsoleWindow() != nullptr) {
    return 20;
  }
  OpenDebugConsole();
  if (GetConsoleWindow() == nullptr) {
    return 21;
  }
  logging::Out("after the console");
  logging::Err("error after the console");
  OpenDebugConsole();
  if (engine.FunctionNames() != std::vector<std::string>{"FlutterDesktopResyncOutputStreams"}) {
    return 22;
  }
  return 0;
}

const bool kOpenConsoleRegistered = RegisterChildRole("open-console", &OpenConsoleAndWrite);

TEST(OpenDebugConsoleTest, PointsTheStandardStreamsAtANewConsole) {
  ASSERT_TRUE(kOpenConsoleRegistered);

  const ChildRun child = RunSelfAs("open-console", L"", kChildTimeout, DETACHED_PROCESS);

  ASSERT_TRUE(child.exited_in_time);
  EXPECT_EQ(child.exit_code, 0u) << child.output;
  EXPECT_THAT(child.output, HasSubstr("before the console"));
  EXPECT_THAT(child.output, Not(HasSubstr("after the console")));
}

}  // namespace
}  // namespace shell_testing
