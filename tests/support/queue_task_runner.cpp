#include "tests/support/queue_task_runner.h"

#include <future>
#include <memory>

namespace testing_support {

QueueTaskRunner::QueueTaskRunner() : thread_([this] { Run(); }) {}

QueueTaskRunner::~QueueTaskRunner() { Stop(); }

bool QueueTaskRunner::PostTask(std::function<void()> task) {
  {
    std::lock_guard<std::mutex> hold(lock_);
    if (stopping_) {
      return false;
    }
    tasks_.push_back(std::move(task));
  }
  wake_.notify_one();
  return true;
}

void QueueTaskRunner::Stop() {
  {
    std::lock_guard<std::mutex> hold(lock_);
    stopping_ = true;
    tasks_.clear();
  }
  wake_.notify_one();
  if (thread_.joinable()) {
    thread_.join();
  }
}

bool QueueTaskRunner::Flush(std::chrono::milliseconds timeout) {
  auto done = std::make_shared<std::promise<void>>();
  std::future<void> flushed = done->get_future();
  if (!PostTask([done] { done->set_value(); })) {
    return false;
  }
  return flushed.wait_for(timeout) == std::future_status::ready;
}

void QueueTaskRunner::Run() {
  for (;;) {
    std::function<void()> task;
    {
      std::unique_lock<std::mutex> hold(lock_);
      wake_.wait(hold, [this] { return stopping_ || !tasks_.empty(); });
      if (stopping_) {
        return;
      }
      task = std::move(tasks_.front());
      tasks_.pop_front();
    }
    task();
  }
}

}  // namespace testing_support
