#include <chrono>
#include <filesystem>
#include <future>
#include <optional>
#include <string>
#include <vector>

#include "tests/vpn/vpn_test_fixture.h"
#include "vpn/child_dialogue.h"
#include "vpn/child_process.h"
#include "vpn/executable_directory.h"

namespace vpn_testing {
namespace {

using ::testing::EndsWith;
using ::testing::StartsWith;

// A child with its pipes, launched with `command_line`; the xray stand-in takes its whole command
// line as its script. A child a failed check left running is ended, so that closing it does not
// wait forever.
struct Launched {
  explicit Launched(const std::string& command_line,
                    const vpn::NativeString& program = vpn::ProgramPath(vpn::ExecutableDirectory(),
                                                                        "xray")) {
    vpn::CreateChildPipes(pipes);
    child = vpn::LaunchChild(program, vpn::NativeFromUtf8(command_line), nullptr, pipes);
  }
  ~Launched() {
    if (child != nullptr) static_cast<void>(child->Terminate());
    vpn::CloseChild(pipes, child.get());
  }
  // The whole output on `from` (by default the child's), read on another thread; none when it
  // does not end in time, after the child is ended so that the reader, and the test, can end.
  std::optional<std::string> ReadAll(vpn::ChildPipes* from = nullptr) {
    auto reading = std::async(std::launch::async, [this, from] {
      std::string output;
      vpn::ReadChildOutput(from ? *from : pipes,
                           [&output](std::string_view chunk) { output += chunk; });
      return output;
    });
    if (reading.wait_for(std::chrono::seconds(20)) == std::future_status::ready) {
      return reading.get();
    }
    static_cast<void>(child->Terminate());
    return std::nullopt;
  }

  vpn::ChildPipes pipes;
  std::shared_ptr<vpn::ChildProcess> child;
};

using ChildProcessTest = VpnTest;

// Standard output and standard error share one pipe, read in chunks, each echoed between "while
// acting" lines; the output ends when the child exits.
TEST_F(ChildProcessTest, TheOutputComesInChunksAndEndsWhenTheChildExits) {
  constexpr size_t kBurst = 3 * 4096 + 100;
  Launched launched(
      ChildScript().Say("to stdout, ").Sleep(200).Err("to stderr").Sleep(200).Burst(kBurst).Text());
  ASSERT_NE(launched.child, nullptr);
  EXPECT_EQ(launched.ReadAll(), "to stdout, to stderr" + std::string(kBurst, '#'));
  EXPECT_THAT(log_.Out(),
              StartsWith("while acting\nto stdout, while acting\nto stderrwhile acting\n"));
  EXPECT_THAT(log_.Out(), EndsWith("#while acting\nError to read from running console\n"));
  vpn::CloseChild(launched.pipes, launched.child.get());
  EXPECT_FALSE(launched.child->IsLive());
  EXPECT_FALSE(launched.child->Terminate()) << "a closed child is never signalled";
  EXPECT_FALSE(launched.pipes.outputRead.IsValid() || launched.pipes.inputWrite.IsValid());
}

// Answers go byte for byte, each with its line end; once the child is gone, an answer fails with
// its own log line and the line end's, without harm to this program.
TEST_F(ChildProcessTest, AnswersReachTheChildByteForByteAndLateAnswersFailCleanly) {
  const auto report = NewReportDirectory();
  Launched launched(ChildScript().Report(report).Say("ready").Ask().Ask().Text());
  ASSERT_NE(launched.child, nullptr);
  vpn::AnswerChild(launched.pipes, std::string("\xC3\xBC\0z", 4), "unused");
  vpn::AnswerChild(launched.pipes, "", "unused");
  EXPECT_EQ(log_.Err(), "");
  EXPECT_EQ(launched.ReadAll(), "ready");
  launched.child->WaitForExit();
  EXPECT_EQ(ChildReport(report).StandardInput(), std::string("\xC3\xBC\0z\n\n", 6));
  vpn::AnswerChild(launched.pipes, "late", "Error writing yes to process.");
  EXPECT_EQ(log_.Err(), "Error writing yes to process.\nError writing enterChar to process.\n");
}

// A pipe any child could inherit, as the embedder's or a plugin's handles may be: once its write
// end is closed here, its output ends, although a child launched meanwhile still runs.
TEST_F(ChildProcessTest, AChildGetsNoHandleOfTheProgramButItsOwnPipeEnds) {
  vpn::ChildPipes foreign;
  MakeInheritablePipe(foreign.outputRead, foreign.outputWrite);
  Launched launched(ChildScript().RunUntilTerminated().Text());
  ASSERT_NE(launched.child, nullptr);
  foreign.outputWrite.Reset();
  EXPECT_EQ(launched.ReadAll(&foreign), "");
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

  Launched launched("probe", copy.native());
  if (launched.child == nullptr && kWindows) {
    GTEST_SKIP() << "this system starts no program from a path longer than MAX_PATH";
  }
  ASSERT_NE(launched.child, nullptr);
  EXPECT_EQ(launched.ReadAll(), Utf8(folder));
}

}  // namespace
}  // namespace vpn_testing
