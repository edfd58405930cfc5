#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "vpn/executable_directory.h"
#include "vpn/openconnect_worker.h"
#include "vpn/windows_command_line.h"

namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using vpn::QuoteWindowsArgument;
using vpn::SplitWindowsCommandLine;

TEST(WindowsCommandLineTest, SplitsByTheRuntimeRules) {
  EXPECT_THAT(SplitWindowsCommandLine(R"(p "a b c" d e)"), ElementsAre("p", "a b c", "d", "e"));
  EXPECT_THAT(SplitWindowsCommandLine(R"(p "ab\"c" "\\" d)"), ElementsAre("p", "ab\"c", "\\", "d"));
  EXPECT_THAT(SplitWindowsCommandLine(R"(p a\\\b d"e f"g h)"),
              ElementsAre("p", R"(a\\\b)", "de fg", "h"));
  EXPECT_THAT(SplitWindowsCommandLine(R"(p a\\\"b c d)"), ElementsAre("p", R"(a\"b)", "c", "d"));
  EXPECT_THAT(SplitWindowsCommandLine(R"(p a\\\\"b c" d e)"),
              ElementsAre("p", R"(a\\b c)", "d", "e"));
  EXPECT_THAT(SplitWindowsCommandLine(R"(p "a""b" "")"), ElementsAre("p", "a\"b", ""));
  EXPECT_THAT(SplitWindowsCommandLine("p \t a  "), ElementsAre("p", "a"));
  EXPECT_THAT(SplitWindowsCommandLine(""), ElementsAre());
}

TEST(WindowsCommandLineTest, TheProgramNameKeepsBackslashesAndDropsQuotes) {
  EXPECT_THAT(SplitWindowsCommandLine(R"("C:\Program Files\x.exe" a)"),
              ElementsAre(R"(C:\Program Files\x.exe)", "a"));
  EXPECT_THAT(SplitWindowsCommandLine(R"(C:\dir\"x y" z)"), ElementsAre(R"(C:\dir\x y)", "z"));
  EXPECT_THAT(SplitWindowsCommandLine("--allow-insecure-crypto vpn.example.com"),
              ElementsAre("--allow-insecure-crypto", "vpn.example.com"));
}

TEST(WindowsCommandLineTest, AQuotedArgumentComesBackAsExactlyOneArgument) {
  std::vector<std::string> samples = {"",
                                      " ",
                                      "a b",
                                      "\"",
                                      "\\",
                                      "a\\",
                                      "a\\\\",
                                      "\\\"",
                                      "a\\\"b c",
                                      "tab\there",
                                      "x\"\"",
                                      "\n",
                                      "\xC3\xA9 \xE2\x82\xAC",
                                      "end\\\\\""};
  std::mt19937 random(4);
  const std::string alphabet = "ab \\\"\t\n";
  for (int i = 0; i < 2000; ++i) {
    std::string sample;
    for (int length = random() % 12; length > 0; --length) {
      sample.push_back(alphabet[random() % alphabet.size()]);
    }
    samples.push_back(sample);
  }
  for (const std::string& sample : samples) {
    EXPECT_THAT(SplitWindowsCommandLine("p " + QuoteWindowsArgument(sample)),
                ElementsAreArray({std::string("p"), sample}))
        << "quoted as [" << QuoteWindowsArgument(sample) << "]";
  }
}

TEST(WindowsCommandLineTest, APlainServerKeepsTheCommandLineUnchanged) {
  EXPECT_EQ(QuoteWindowsArgument("vpn.example.com:443"), "vpn.example.com:443");
  EXPECT_EQ(vpn::NativeToUtf8(vpn::OpenConnectCommandLine("vpn.example.com")),
            "--allow-insecure-crypto vpn.example.com");
  EXPECT_EQ(vpn::NativeToUtf8(vpn::OpenConnectCommandLine("")), "--allow-insecure-crypto \"\"");
  EXPECT_EQ(vpn::NativeToUtf8(vpn::OpenConnectCommandLine("a b\\")),
            "--allow-insecure-crypto \"a b\\\\\"");
}

TEST(ExecutableDirectoryTest, CutsBeforeTheLastSeparator) {
  const auto directory = [](const char* path) {
    return vpn::NativeToUtf8(vpn::DirectoryOfPath(vpn::NativeFromUtf8(path)));
  };
  EXPECT_EQ(directory(R"(C:\Program Files\Quorvanta\quorvanta.exe)"),
            R"(C:\Program Files\Quorvanta)");
  EXPECT_EQ(directory("/opt/quorvanta/bin/quorvanta"), "/opt/quorvanta/bin");
  EXPECT_EQ(directory(R"(C:\mixed/dir\x.exe)"), R"(C:\mixed/dir)");
  EXPECT_EQ(directory("quorvanta.exe"), "quorvanta.exe") << "no separator: the whole path";
  EXPECT_EQ(directory(""), "");
}

}  // namespace
