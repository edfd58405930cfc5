#ifndef QUORVANTA_TESTS_SUPPORT_QUEUE_TASK_RUNNER_H_
#define QUORVANTA_TESTS_SUPPORT_QUEUE_TASK_RUNNER_H_

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "vpn/platform_task_runner.h"

namespace testing_support {

// A platform thread for tests: one thread running posted tasks in order.
class QueueTaskRunner : public vpn::PlatformTaskRunner {
 public:
  QueueTaskRunner();
  ~QueueTaskRunner() override;

  bool PostTask(std::function<void()> task) override;

  // Refuses further tasks, drops the queued ones and ends the thread.
  void Stop();
  // Waits until every task posted before this call has run. False on time-out or when stopped.
  [[nodiscard]] bool Flush(std::chrono::milliseconds timeout = std::chrono::seconds(10));
  bool IsRunnerThread() const { return std::this_thread::get_id() == thread_.get_id(); }

 private:
  void Run();

  std::mutex lock_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> tasks_;
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace testing_support

#endif  // QUORVANTA_TESTS_SUPPORT_QUEUE_TASK_RUNNER_H_
