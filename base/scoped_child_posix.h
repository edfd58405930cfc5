#ifndef QUORVANTA_BASE_SCOPED_CHILD_POSIX_H_
#define QUORVANTA_BASE_SCOPED_CHILD_POSIX_H_

#include <sys/types.h>

#include "base/scoped_generic.h"

namespace base {

// One child process id, owned until the child is reaped; 0 is empty. The id stays reserved for
// this child while it is not reaped, so signalling it can never reach an unrelated process.
struct ChildTraits {
  using Value = pid_t;
  static Value None() { return 0; }
  static bool IsValid(Value pid) { return pid > 0; }
  // A child still unreaped here has no one left to wait for it: it is killed and reaped.
  static void Free(Value pid);
};
using ScopedChild = ScopedGeneric<ChildTraits>;

// Blocks until the child has ended, without reaping it. Nothing when `child` is empty.
void WaitForChildExit(const ScopedChild& child);

// Blocks until the child has ended and reaps it; `child` is empty afterwards. Nothing when it is
// empty already.
void ReapChild(ScopedChild& child);

}  // namespace base

#endif  // QUORVANTA_BASE_SCOPED_CHILD_POSIX_H_
