#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "vpn/windows_command_line.h"

namespace {

using vpn::QuoteWindowsArgument;
using vpn::SplitWindowsCommandLine;

TEST(WindowsCommandLineTest, SplitsByTheRuntimeRules) {
  const struct {
    const char* line;
    std::vector<std::string> arguments;
  } cases[] = {
      {R"(p "a b c" d e)", {"p", "a b c", "d", "e"}},
      {R"(p "ab\"c" "\\" d)", {"p", "ab\"c", "\\", "d"}},
      {R"(p a\\\b d"e f"g h)", {"p", R"(a\\\b)", "de fg", "h"}},
      {R"(p a\\\"b c d)", {"p", R"(a\"b)", "c", "d"}},
      {R"(p a\\\\"b c" d e)", {"p", R"(a\\b c)", "d", "e"}},
      {R"(p "a""b" "")", {"p", "a\"b", ""}},
      {"p \t a  ", {"p", "a"}},
      // The program name keeps its backslashes and drops its quotes.
      {R"("C:\Program Files\x.exe" a)", {R"(C:\Program Files\x.exe)", "a"}},
      {R"(C:\dir\"x y" z)", {R"(C:\dir\x y)", "z"}},
  };
  for (const auto& test : cases) {
    EXPECT_EQ(SplitWindowsCommandLine(test.line), test.arguments) << test.line;
  }
}

// Also the server of OpenConnect's command line (worker_test.cpp), quoted only where needed.
TEST(WindowsCommandLineTest, AQuotedArgumentComesBackAsExactlyOneArgument) {
  std::vector<std::string> samples = {"\xC3\xA9 \xE2\x82\xAC", "end\\\\\"", ""};
  std::mt19937 random(4);
  for (int i = 0; i < 2000; ++i) {
    std::string sample;
    for (int length = random() % 12; length > 0; --length) {
      sample.push_back("ab \\\"\t\n"[random() % 7]);
    }
    samples.push_back(sample);
  }
  for (const std::string& sample : samples) {
    EXPECT_EQ(SplitWindowsCommandLine("p " + QuoteWindowsArgument(sample)),
              (std::vector<std::string>{"p", sample}))
        << "quoted as [" << QuoteWindowsArgument(sample) << "]";
  }
  EXPECT_EQ(QuoteWindowsArgument("vpn.example.com:443"), "vpn.example.com:443");
}

}  // namespace
