#include "base/scoped_child_posix.h"

#include <signal.h>
#include <sys/wait.h>

#include <cerrno>

namespace base {
namespace {

void Reap(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
}

}  // namespace

void ChildTraits::Free(pid_t pid) {
  kill(pid, SIGKILL);
  Reap(pid);
}

void WaitForChildExit(const ScopedChild& child) {
  if (!child.IsValid()) {
    return;
  }
  siginfo_t info{};
  while (waitid(P_PID, static_cast<id_t>(child.Get()), &info, WEXITED | WNOWAIT) != 0 &&
         errno == EINTR) {
  }
}

void ReapChild(ScopedChild& child) {
  if (child.IsValid()) {
    Reap(child.Release());
  }
}

}  // namespace base
