#include <sys/resource.h>
#include <unistd.h>

#include <vector>

#include "base/scoped_fd_posix.h"
#include "tests/vpn/vpn_test_fixture.h"
#include "vpn/child_dialogue.h"
#include "vpn/child_process.h"
#include "vpn/executable_directory.h"

namespace vpn_testing {
namespace {

// With every descriptor taken, no pipe can be made: the failures are logged, no child is launched
// without its pipes, and the dialogue on the missing pipes fails without harm.
using ChildProcessPosixTest = VpnTest;

TEST_F(ChildProcessPosixTest, WithoutPipesNoChildIsLaunched) {
  rlimit original{};
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &original), 0);
  rlimit lowered = original;
  lowered.rlim_cur = 256;
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &lowered), 0);
  std::vector<base::ScopedFd> taken;
  for (int fd; (fd = dup(STDERR_FILENO)) >= 0;) taken.emplace_back(fd);
  vpn::ChildPipes pipes;
  vpn::CreateChildPipes(pipes);
  const auto child = vpn::LaunchChild(vpn::ProgramPath(vpn::ExecutableDirectory(), "xray"),
                                      "say=never", nullptr, pipes);
  taken.clear();
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &original), 0);

  EXPECT_EQ(child, nullptr);
  vpn::ReadChildOutput(pipes, [](std::string_view) { ADD_FAILURE() << "nothing to read"; });
  vpn::AnswerChild(pipes, "x", "Error writing yes to process.");
  vpn::CloseChild(pipes, nullptr);
  EXPECT_EQ(log_.Err(),
            "Error creating stdin pipe.\nError creating stdout pipe.\nError creating process.\n"
            "Error writing yes to process.\nError writing enterChar to process.\n");
}

}  // namespace
}  // namespace vpn_testing
