#ifndef QUORVANTA_SHELL_WINDOW_TASK_RUNNER_H_
#define QUORVANTA_SHELL_WINDOW_TASK_RUNNER_H_

#include <deque>
#include <functional>
#include <memory>
#include <mutex>

#include "base/scoped_win32.h"
#include "vpn/platform_task_runner.h"

// Runs tasks that any thread posts on the thread that created the runner, from that thread's
// message loop, one after the other in the order they were posted. The tasks are queued here and
// one message to a hidden message-only window wakes the loop for all that are waiting.
class WindowTaskRunner : public vpn::PlatformTaskRunner,
                         public std::enable_shared_from_this<WindowTaskRunner> {
 public:
  // Creates the runner for the calling thread, which must run a message loop. Null when its
  // window cannot be created.
  static std::shared_ptr<WindowTaskRunner> Create();

  // Must run on the creating thread unless Stop has run before.
  ~WindowTaskRunner() override;

  WindowTaskRunner(const WindowTaskRunner&) = delete;
  WindowTaskRunner& operator=(const WindowTaskRunner&) = delete;

  // Any thread. False, with the task dropped, once the runner has stopped or when the creating
  // thread's message queue refuses the wake-up.
  [[nodiscard]] bool PostTask(std::function<void()> task) override;

  // Refuses every later task and drops the waiting ones; a task that is running finishes, but
  // none after it runs. Creating thread only.
  void Stop();

 private:
  WindowTaskRunner() = default;

  static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  // Runs the tasks that were waiting when the wake-up came; later ones get a wake-up of their own.
  void RunWaitingTasks();

  std::mutex lock_;
  std::deque<std::function<void()>> tasks_;
  // A wake-up message is on its way and will run every waiting task.
  bool wake_posted_ = false;
  bool stopped_ = false;
  base::ScopedWindow window_;
};

#endif  // QUORVANTA_SHELL_WINDOW_TASK_RUNNER_H_
