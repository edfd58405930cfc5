#ifndef QUORVANTA_VPN_WORKER_THREAD_H_
#define QUORVANTA_VPN_WORKER_THREAD_H_

#include <functional>

namespace vpn {

// Runs `body` on a new thread that nobody joins. False, and `body` is dropped unrun, when the
// system cannot create a thread.
[[nodiscard]] bool StartDetachedThread(std::function<void()> body);

// Starts `body` as a worker: a detached thread that is counted while its body runs.
[[nodiscard]] bool StartWorker(std::function<void()> body);

// How many workers have been started and have not finished their body yet.
int RunningWorkers();

using ThreadStartFunction = bool (*)(std::function<void()> body);

// For tests only: replaces how StartWorker creates its threads (StartDetachedThread by default)
// and returns the function used before.
ThreadStartFunction SetThreadStartFunctionForTesting(ThreadStartFunction start);

}  // namespace vpn

#endif  // QUORVANTA_VPN_WORKER_THREAD_H_
