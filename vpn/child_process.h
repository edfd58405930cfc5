#ifndef QUORVANTA_VPN_CHILD_PROCESS_H_
#define QUORVANTA_VPN_CHILD_PROCESS_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string_view>

#include "vpn/native_string.h"

#if defined(_WIN32)
#include "base/scoped_win32.h"
#else
#include "base/scoped_child_posix.h"
#include "base/scoped_fd_posix.h"
#endif

namespace vpn {

#if defined(_WIN32)
using PipeEnd = base::ScopedHandle;
struct NativeChild {
  base::ScopedHandle process;
  base::ScopedHandle thread;
  uint32_t process_id = 0;
  uint32_t thread_id = 0;
};
#else
using PipeEnd = base::ScopedFd;
struct NativeChild {
  base::ScopedChild process;
};
#endif

// The two anonymous pipes between one worker and its child. Every worker owns its own set, so a
// later launch never touches the pipes of a worker that is still reading.
struct ChildPipes {
  // Whether all four ends exist.
  bool IsComplete() const;
  // Closes the parent's copies of the child's ends once the child has its own (or failed to
  // start).
  void ReleaseChildEnds();

  PipeEnd inputRead;    // the child's standard input
  PipeEnd inputWrite;   // where the worker writes its answers
  PipeEnd outputRead;   // where the worker reads the child's output
  PipeEnd outputWrite;  // the child's standard output and standard error
};

// A launched child. The worker that launched it waits for it and closes it; any thread may
// terminate it while it is live. After Close it counts as gone: it is never signalled or waited
// for again.
class ChildProcess {
 public:
  explicit ChildProcess(NativeChild native);
  ~ChildProcess();

  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Ends the child with exit code 0 (Windows) or SIGKILL (POSIX). False when the child is closed
  // already or the system refuses. Any thread.
  [[nodiscard]] bool Terminate();
  bool IsLive() const;
  // Blocks, without a time-out, until the child has ended. The launching worker only.
  void WaitForExit();
  // Releases the child's handles. The launching worker only, once the child has ended.
  void Close();

 private:
  mutable std::mutex lock_;
  NativeChild native_;
};

// Creates both pipes. A failure is logged ("Error creating stdin pipe." / "Error creating stdout
// pipe.") and leaves the ends empty; LaunchChild then refuses to launch.
void CreateChildPipes(ChildPipes& pipes);

// Launches `application` hidden, with `command_line` (on POSIX split by the Windows argument
// rules into its argument vector), in `working_directory` when not null, on `pipes`. The child
// gets its two pipe ends as its standard streams and no other handle or descriptor of the
// program. Whatever the outcome, the parent's copies of the child's ends are closed, so that the
// output reaches its end when the child ends. On failure logs "Error creating process." and
// returns null.
std::shared_ptr<ChildProcess> LaunchChild(const NativeString& application,
                                          const NativeString& command_line,
                                          const NativeString* working_directory, ChildPipes& pipes);

// Writes all of `bytes` to the child's standard input. False when the child's input is gone.
[[nodiscard]] bool WriteToChild(ChildPipes& pipes, std::string_view bytes);

// Reads what the child has written, at most `size` bytes. 0 at the end of the output or on a
// failure.
size_t ReadFromChild(ChildPipes& pipes, char* buffer, size_t size);

}  // namespace vpn

#endif  // QUORVANTA_VPN_CHILD_PROCESS_H_
