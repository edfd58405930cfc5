#ifndef QUORVANTA_TESTS_SUPPORT_QUEUE_TASK_RUNNER_H_
#define QUORVANTA_TESTS_SUPPORT_QUEUE_TASK_RUNNER_H_

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <thread>

#include "vpn/platform_task_runner.h"

namespace testing_support {

// A platform thread for tests: one thread running posted tasks in order.
class QueueTaskRunner : public vpn::PlatformTaskRunner {
 public:
  QueueTaskRunner() : thread_([this] { Run(); }) {}
  ~QueueTaskRunner() override { Stop(); }

  bool PostTask(std::function<void()> task) override {
    {
      std::lock_guard<std::mutex> hold(lock_);
      if (stopping_) return false;
      tasks_.push_back(std::move(task));
    }
    wake_.notify_one();
    return true;
  }

  // Refuses further tasks, drops the queued ones and ends the thread.
  void Stop() {
    {
      std::lock_guard<std::mutex> hold(lock_);
      stopping_ = true;
      tasks_.clear();
    }
    wake_.notify_one();
    if (thread_.joinable()) thread_.join();
  }

  // Waits until every task posted before this call has run. False on time-out or when stopped.
  [[nodiscard]] bool Flush(std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
    auto done = std::make_shared<std::promise<void>>();
    std::future<void> flushed = done->get_future();
    return PostTask([done] { done->set_value(); }) &&
           flushed.wait_for(timeout) == std::future_status::ready;
  }

  bool IsRunnerThread() const { return std::this_thread::get_id() == thread_.get_id(); }

 private:
  void Run() {
    for (;;) {
      std::function<void()> task;
      {
        std::unique_lock<std::mutex> hold(lock_);
        wake_.wait(hold, [this] { return stopping_ || !tasks_.empty(); });
        if (stopping_) return;
        task = std::move(tasks_.front());
        tasks_.pop_front();
      }
      task();
    }
  }

  std::mutex lock_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> tasks_;
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace testing_support

#endif  // QUORVANTA_TESTS_SUPPORT_QUEUE_TASK_RUNNER_H_
