#include "vpn/worker_thread.h"

#include <atomic>
#include <utility>

namespace vpn {
namespace {

std::atomic<int> running_workers{0};
std::atomic<ThreadStartFunction> thread_start{&StartDetachedThread};

}  // namespace

bool StartWorker(std::function<void()> body) {
  // Counted before the thread exists, so that a caller sees the worker at once.
  running_workers.fetch_add(1);
  const bool started = thread_start.load()([body = std::move(body)] {
    body();
    running_workers.fetch_sub(1);
  });
  if (!started) {
    running_workers.fetch_sub(1);
  }
  return started;
}

int RunningWorkers() { return running_workers.load(); }

ThreadStartFunction SetThreadStartFunctionForTesting(ThreadStartFunction start) {
  return thread_start.exchange(start);
}

}  // namespace vpn
