#include <chrono>
#include <filesystem>
#include <future>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tests/vpn/vpn_test_fixture.h"
#include "vpn/child_dialogue.h"
#include "vpn/child_process.h"
#include "vpn/executable_directory.h"

namespace vpn_testing {
namespace {

using vpn::ChildPipes;
using vpn::ChildProcess;

constexpr auto kTimeout = std::chrono::seconds(20);

struct Launched {
  ChildPipes pipes;
  std::shared_ptr<ChildProcess> child;
};

// Launches a program beside the test with `command_line`. The xray stand-in takes its whole
// command line as its script.
std::unique_ptr<Launched> Launch(std::string_view program, const std::string& command_line) {
  auto launched = std::make_unique<Launched>();
  vpn::CreateChildPipes(launched->pipes);
  launched->child = vpn::LaunchChild(vpn::ProgramPath(vpn::ExecutableDirectory(), program),
                                     vpn::NativeFromUtf8(command_line), nullptr, launched->pipes);
  return launched;
}

// Reads the child's whole output on another thread; empty when it does not end in time.
std::optional<std::string> ReadAll(Launched& launched) {
  auto reading = std::async(std::launch::async, [&launched] {
    std::string output;
    vpn::ReadChildOutput(launched.pipes, [&output](std::string_view chunk) { output += chunk; });
    return output;
  });
  if (reading.wait_for(kTimeout) != std::future_status::ready) {
    // Unblock the reader before giving up, so the test can end.
    static_cast<void>(launched.child->Terminate());
    reading.wait();
    return std::nullopt;
  }
  return reading.get();
}

using ChildProcessTest = VpnTest;

TEST_F(ChildProcessTest, TheOutputEndsWhenTheChildExitsAndTheChildIsThenGone) {
  auto launched =
      Launch("xray", ChildScript().Say("to stdout, ").Sleep(200).Err("to stderr").Text());
  ASSERT_NE(launched->child, nullptr);
  EXPECT_EQ(ReadAll(*launched), "to stdout, to stderr");
  vpn::CloseChild(launched->pipes, launched->child.get());
  EXPECT_FALSE(launched->child->IsLive());
  EXPECT_FALSE(launched->child->Terminate()) << "a closed child is never signalled";
  EXPECT_FALSE(launched->pipes.outputRead.IsValid());
  EXPECT_FALSE(launched->pipes.inputWrite.IsValid());
  EXPECT_EQ(log_.Out(),
            "while acting\nto stdout, while acting\nto stderrwhile acting\n"
            "Error to read from running console\n");
}

TEST_F(ChildProcessTest, TerminatingTheChildEndsTheReadLoop) {
  auto launched = Launch("xray", ChildScript().Say("up").RunUntilTerminated().Text());
  ASSERT_NE(launched->child, nullptr);
  EXPECT_TRUE(launched->child->IsLive());
  std::thread terminator([&launched] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_TRUE(launched->child->Terminate());
  });
  EXPECT_EQ(ReadAll(*launched), "up");
  terminator.join();
  vpn::CloseChild(launched->pipes, launched->child.get());
  EXPECT_FALSE(launched->child->IsLive());
}

TEST_F(ChildProcessTest, AMissingProgramFailsToLaunchAndItsReadLoopEndsAtOnce) {
  Launched launched;
  vpn::CreateChildPipes(launched.pipes);
  launched.child = vpn::LaunchChild(vpn::ProgramPath(vpn::ExecutableDirectory(), "no-such-program"),
                                    vpn::NativeFromUtf8("x"), nullptr, launched.pipes);
  EXPECT_EQ(launched.child, nullptr);
  EXPECT_EQ(log_.Err(), "Error creating process.\n");
  auto reading = std::async(std::launch::async, [&launched] {
    vpn::ReadChildOutput(launched.pipes, [](std::string_view) {});
  });
  ASSERT_EQ(reading.wait_for(kTimeout), std::future_status::ready);
  vpn::CloseChild(launched.pipes, nullptr);
}

TEST_F(ChildProcessTest, AnswersReachTheChildByteForByteAndLateAnswersFailCleanly) {
  const auto report = NewReportDirectory();
  auto launched = Launch("xray", ChildScript().Report(report).Say("ready").Drain().Text());
  ASSERT_NE(launched->child, nullptr);
  vpn::AnswerChild(launched->pipes, std::string("\xC3\xBC\0z", 4), "unused");
  vpn::AnswerChild(launched->pipes, "", "unused");
  // The child only ends its output once its input ended.
  launched->pipes.inputWrite.Reset();
  EXPECT_EQ(ReadAll(*launched), "ready");
  launched->child->WaitForExit();
  EXPECT_EQ(ChildReport(report).StandardInput(), std::string("\xC3\xBC\0z\n\n", 6));
  EXPECT_EQ(log_.Err(), "");

  auto ended = Launch("xray", ChildScript().Exit(0).Text());
  ASSERT_NE(ended->child, nullptr);
  EXPECT_EQ(ReadAll(*ended), "");
  ended->child->WaitForExit();
  vpn::AnswerChild(ended->pipes, "late", "Error writing yes to process.");
  EXPECT_EQ(log_.Err(), "Error writing yes to process.\nError writing enterChar to process.\n");
  vpn::CloseChild(ended->pipes, ended->child.get());
  vpn::CloseChild(launched->pipes, launched->child.get());
}

// Children launched at the same time never hold each other's pipes: every output ends with its
// own child, although a long-lived child was launched among them.
TEST_F(ChildProcessTest, ConcurrentLaunchesKeepTheirPipesApart) {
  auto sleeper = std::async(
      std::launch::async, [] { return Launch("xray", ChildScript().RunUntilTerminated().Text()); });
  std::vector<std::future<std::optional<std::string>>> outputs;
  for (int i = 0; i < 12; ++i) {
    outputs.push_back(std::async(std::launch::async, [i]() -> std::optional<std::string> {
      auto launched = Launch("xray", ChildScript().Say("child " + std::to_string(i)).Text());
      if (launched->child == nullptr) {
        return std::nullopt;
      }
      std::optional<std::string> output = ReadAll(*launched);
      vpn::CloseChild(launched->pipes, launched->child.get());
      return output;
    }));
  }
  for (int i = 0; i < 12; ++i) {
    EXPECT_EQ(outputs[i].get(), "child " + std::to_string(i));
  }
  auto long_lived = sleeper.get();
  ASSERT_NE(long_lived->child, nullptr);
  EXPECT_TRUE(long_lived->child->Terminate());
  EXPECT_EQ(ReadAll(*long_lived), "");
  vpn::CloseChild(long_lived->pipes, long_lived->child.get());
}

TEST_F(ChildProcessTest, TheExecutableDirectoryIsFoundWholeUnderALongPath) {
  const std::filesystem::path folder =
      scratch_ / std::string(100, 'd') / std::string(100, 'e') / std::string(100, 'f');
  std::filesystem::create_directories(folder);
  const std::filesystem::path probe = std::filesystem::path(
      vpn::ProgramPath(vpn::ExecutableDirectory(), "executable_directory_probe"));
  const std::filesystem::path copy = folder / probe.filename();
  std::filesystem::copy_file(probe, copy);
  ASSERT_GT(Utf8(copy).size(), 300u);

  Launched launched;
  vpn::CreateChildPipes(launched.pipes);
  launched.child =
      vpn::LaunchChild(copy.native(), vpn::NativeFromUtf8("probe"), nullptr, launched.pipes);
  if (launched.child == nullptr && kWindows) {
    vpn::CloseChild(launched.pipes, nullptr);
    GTEST_SKIP() << "this system starts no program from a path longer than MAX_PATH";
  }
  ASSERT_NE(launched.child, nullptr);
  EXPECT_EQ(ReadAll(launched), Utf8(folder));
  vpn::CloseChild(launched.pipes, launched.child.get());
}

}  // namespace
}  // namespace vpn_testing
