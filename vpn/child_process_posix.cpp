#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <string>
#include <vector>

#include "base/log.h"
#include "vpn/child_process.h"
#include "vpn/windows_command_line.h"

extern char** environ;

namespace vpn {
namespace {

bool CreatePipe(PipeEnd& read_end, PipeEnd& write_end) {
  int ends[2];
  // Close-on-exec from the start: only the ends handed over by the launch reach a child.
  if (pipe2(ends, O_CLOEXEC) != 0) {
    return false;
  }
  read_end.Reset(ends[0]);
  write_end.Reset(ends[1]);
  return true;
}

class SpawnActions {
 public:
  SpawnActions() { ready_ = posix_spawn_file_actions_init(&actions_) == 0; }
  ~SpawnActions() {
    if (ready_) {
      posix_spawn_file_actions_destroy(&actions_);
    }
  }
  SpawnActions(const SpawnActions&) = delete;
  SpawnActions& operator=(const SpawnActions&) = delete;

  bool Prepare(const ChildPipes& pipes, const NativeString* working_directory) {
    return ready_ &&
           posix_spawn_file_actions_adddup2(&actions_, pipes.inputRead.Get(), STDIN_FILENO) == 0 &&
           posix_spawn_file_actions_adddup2(&actions_, pipes.outputWrite.Get(), STDOUT_FILENO) ==
               0 &&
           posix_spawn_file_actions_adddup2(&actions_, pipes.outputWrite.Get(), STDERR_FILENO) ==
               0 &&
           // Whatever else the program has open, close-on-exec or not, stays with the program.
           posix_spawn_file_actions_addclosefrom_np(&actions_, STDERR_FILENO + 1) == 0 &&
           (working_directory == nullptr ||
            posix_spawn_file_actions_addchdir_np(&actions_, working_directory->c_str()) == 0);
  }
  const posix_spawn_file_actions_t* Get() const { return &actions_; }

 private:
  posix_spawn_file_actions_t actions_;
  bool ready_ = false;
};

// A write to a pipe whose reader has gone raises SIGPIPE, which would end the whole program. It is
// blocked around the write and a SIGPIPE raised by it is consumed, so the write just fails.
class ScopedSigpipeBlock {
 public:
  ScopedSigpipeBlock() {
    sigemptyset(&sigpipe_);
    sigaddset(&sigpipe_, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &sigpipe_, &previous_);
    sigset_t pending;
    sigpending(&pending);
    was_pending_ = sigismember(&pending, SIGPIPE) == 1;
  }
  ~ScopedSigpipeBlock() {
    if (raised_ && !was_pending_) {
      const timespec no_wait{};
      sigtimedwait(&sigpipe_, nullptr, &no_wait);
    }
    pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
  }
  ScopedSigpipeBlock(const ScopedSigpipeBlock&) = delete;
  ScopedSigpipeBlock& operator=(const ScopedSigpipeBlock&) = delete;

  void NoteBrokenPipe() { raised_ = true; }

 private:
  sigset_t sigpipe_;
  sigset_t previous_;
  bool was_pending_ = false;
  bool raised_ = false;
};

}  // namespace

ChildProcess::ChildProcess(NativeChild native) : native_(std::move(native)) {}

ChildProcess::~ChildProcess() = default;

bool ChildProcess::Terminate() {
  std::lock_guard<std::mutex> hold(lock_);
  return native_.process.IsValid() && kill(native_.process.Get(), SIGKILL) == 0;
}

bool ChildProcess::IsLive() const {
  std::lock_guard<std::mutex> hold(lock_);
  return native_.process.IsValid();
}

void ChildProcess::WaitForExit() {
  // Not under the lock, so that other threads can terminate the child meanwhile; the child is not
  // reaped here, so its id cannot be reused before Close.
  base::WaitForChildExit(native_.process);
}

void ChildProcess::Close() {
  std::lock_guard<std::mutex> hold(lock_);
  base::ReapChild(native_.process);
}

void CreateChildPipes(ChildPipes& pipes) {
  if (!CreatePipe(pipes.inputRead, pipes.inputWrite)) {
    logging::Err("Error creating stdin pipe.");
  }
  if (!CreatePipe(pipes.outputRead, pipes.outputWrite)) {
    logging::Err("Error creating stdout pipe.");
  }
}

std::shared_ptr<ChildProcess> LaunchChild(const NativeString& application,
                                          const NativeString& command_line,
                                          const NativeString* working_directory,
                                          ChildPipes& pipes) {
  std::vector<std::string> arguments = SplitWindowsCommandLine(command_line);
  if (arguments.empty()) {
    arguments.emplace_back();
  }
  std::vector<char*> argv;
  for (std::string& argument : arguments) {
    argv.push_back(argument.data());
  }
  argv.push_back(nullptr);

  pid_t pid = 0;
  bool launched = false;
  if (pipes.IsComplete()) {
    SpawnActions actions;
    launched =
        actions.Prepare(pipes, working_directory) &&
        posix_spawn(&pid, application.c_str(), actions.Get(), nullptr, argv.data(), environ) == 0;
  }
  pipes.ReleaseChildEnds();
  if (!launched) {
    logging::Err("Error creating process.");
    return nullptr;
  }
  NativeChild native;
  native.process = base::ScopedChild(pid);
  return std::make_shared<ChildProcess>(std::move(native));
}

bool WriteToChild(ChildPipes& pipes, std::string_view bytes) {
  ScopedSigpipeBlock sigpipe;
  while (!bytes.empty()) {
    const ssize_t written = write(pipes.inputWrite.Get(), bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) {
        continue;
      }
      if (errno == EPIPE) {
        sigpipe.NoteBrokenPipe();
      }
      return false;
    }
    bytes.remove_prefix(static_cast<size_t>(written));
  }
  return true;
}

size_t ReadFromChild(ChildPipes& pipes, char* buffer, size_t size) {
  for (;;) {
    const ssize_t got = read(pipes.outputRead.Get(), buffer, size);
    if (got >= 0) {
      return static_cast<size_t>(got);
    }
    if (errno != EINTR) {
      return 0;
    }
  }
}

}  // namespace vpn
