#ifndef QUORVANTA_VPN_PLATFORM_TASK_RUNNER_H_
#define QUORVANTA_VPN_PLATFORM_TASK_RUNNER_H_

#include <functional>

namespace vpn {

// Hands work to the platform thread, the one thread on which channel messages may be sent.
// Tasks run in the order they were posted.
class PlatformTaskRunner {
 public:
  virtual ~PlatformTaskRunner() = default;

  // May be called from any thread. Returns false, and drops the task, when the platform thread
  // no longer accepts work.
  [[nodiscard]] virtual bool PostTask(std::function<void()> task) = 0;
};

}  // namespace vpn

#endif  // QUORVANTA_VPN_PLATFORM_TASK_RUNNER_H_
