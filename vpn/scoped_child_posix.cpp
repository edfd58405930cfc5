#include "vpn/scoped_child_posix.h"

#include <signal.h>
#include <sys/wait.h>

#include <cerrno>

namespace vpn {

ScopedChild::~ScopedChild() {
  if (IsValid()) {
    kill(pid_, SIGKILL);
    Reap();
  }
}

ScopedChild& ScopedChild::operator=(ScopedChild&& other) noexcept {
  if (this != &other) {
    if (IsValid()) {
      kill(pid_, SIGKILL);
      Reap();
    }
    pid_ = other.pid_;
    other.pid_ = 0;
  }
  return *this;
}

void ScopedChild::WaitForExit() const {
  if (!IsValid()) {
    return;
  }
  siginfo_t info{};
  while (waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOWAIT) != 0 && errno == EINTR) {
  }
}

void ScopedChild::Reap() {
  if (!IsValid()) {
    return;
  }
  int status = 0;
  while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
  }
  pid_ = 0;
}

}  // namespace vpn
