#ifndef QUORVANTA_VPN_VPN_STATE_H_
#define QUORVANTA_VPN_VPN_STATE_H_

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>

#include "vpn/connection.h"

namespace vpn {

// What the workers and the control handler share, process-wide. Every decision that reads this
// state and then changes it (the stop test and what follows it, a phrase's effect, the report of
// an end) is taken under `lock`, in one step, so that two workers never act on the same state.
// The flags are shared by both kinds of worker; the records are per kind.
struct VpnState {
  // An OpenConnect connection reported its tunnel device and has not failed or stopped since.
  // Read from any thread without the lock; written only under it.
  std::atomic<bool> connected{false};
  // A worker announced a start to a listener and the outcome has not settled yet. Read from any
  // thread without the lock; written only under it.
  std::atomic<bool> connecting{false};

  std::mutex lock;
  // Notified, under the lock, whenever a connection is gone.
  std::condition_variable gone;
  // The latest start of each kind, or none. Under the lock.
  std::shared_ptr<Connection> openConnectProcess;
  std::shared_ptr<Connection> xrayProcess;
};

// The one instance. It lives until the process ends: detached workers may still use it then.
VpnState& GetVpnState();

// With the lock held: whether a worker whose kind's latest start is `record` stops instead of
// starting: that start is live while connected, or any worker is connecting.
bool StopTestHolds(const std::shared_ptr<Connection>& record);

// With the lock held: clears both flags.
void ClearFlags();

// For tests only: terminates the children of both kinds' latest starts, clears both flags and
// forgets both records, as at process start.
void ResetVpnStateForTesting();

}  // namespace vpn

#endif  // QUORVANTA_VPN_VPN_STATE_H_
