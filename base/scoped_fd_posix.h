#ifndef QUORVANTA_BASE_SCOPED_FD_POSIX_H_
#define QUORVANTA_BASE_SCOPED_FD_POSIX_H_

#include <unistd.h>

#include "base/scoped_generic.h"

namespace base {

// One file descriptor, closed once; -1 is empty.
struct FdTraits {
  using Value = int;
  static Value None() { return -1; }
  static bool IsValid(Value fd) { return fd >= 0; }
  // Not retried on EINTR: on Linux the descriptor is released whatever close returns.
  static void Free(Value fd) { close(fd); }
};
using ScopedFd = ScopedGeneric<FdTraits>;

}  // namespace base

#endif  // QUORVANTA_BASE_SCOPED_FD_POSIX_H_
