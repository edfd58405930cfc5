#ifndef QUORVANTA_VPN_SCOPED_FD_POSIX_H_
#define QUORVANTA_VPN_SCOPED_FD_POSIX_H_

#include <unistd.h>

namespace vpn {

// Owns one file descriptor and closes it once; -1 is empty.
class ScopedFd {
 public:
  ScopedFd() = default;
  explicit ScopedFd(int fd) : fd_(fd) {}
  ~ScopedFd() { Reset(); }

  ScopedFd(ScopedFd&& other) noexcept : fd_(other.Release()) {}
  ScopedFd& operator=(ScopedFd&& other) noexcept {
    if (this != &other) {
      Reset(other.Release());
    }
    return *this;
  }
  ScopedFd(const ScopedFd&) = delete;
  ScopedFd& operator=(const ScopedFd&) = delete;

  int Get() const { return fd_; }
  bool IsValid() const { return fd_ >= 0; }

  void Reset(int fd = -1) {
    if (fd_ >= 0) {
      // Not retried on EINTR: on Linux the descriptor is released whatever close returns.
      close(fd_);
    }
    fd_ = fd;
  }

  [[nodiscard]] int Release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_ = -1;
};

}  // namespace vpn

#endif  // QUORVANTA_VPN_SCOPED_FD_POSIX_H_
