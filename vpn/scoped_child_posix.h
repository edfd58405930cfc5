#ifndef QUORVANTA_VPN_SCOPED_CHILD_POSIX_H_
#define QUORVANTA_VPN_SCOPED_CHILD_POSIX_H_

#include <sys/types.h>

namespace vpn {

// Owns one child process id until the child is reaped. The id stays reserved for this child
// while it is not reaped, so signalling it can never reach an unrelated process.
class ScopedChild {
 public:
  ScopedChild() = default;
  explicit ScopedChild(pid_t pid) : pid_(pid) {}
  // A child still unreaped here has no one left to wait for it: it is killed and reaped.
  ~ScopedChild();

  ScopedChild(ScopedChild&& other) noexcept : pid_(other.pid_) { other.pid_ = 0; }
  ScopedChild& operator=(ScopedChild&& other) noexcept;
  ScopedChild(const ScopedChild&) = delete;
  ScopedChild& operator=(const ScopedChild&) = delete;

  pid_t Get() const { return pid_; }
  bool IsValid() const { return pid_ > 0; }

  // Blocks until the child has ended, without reaping it.
  void WaitForExit() const;
  // Blocks until the child has ended and reaps it; the owner is empty afterwards.
  void Reap();

 private:
  pid_t pid_ = 0;
};

}  // namespace vpn

#endif  // QUORVANTA_VPN_SCOPED_CHILD_POSIX_H_
