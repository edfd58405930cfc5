#ifndef QUORVANTA_VPN_VPN_STATE_H_
#define QUORVANTA_VPN_VPN_STATE_H_

#include <atomic>
#include <memory>
#include <mutex>

#include "vpn/child_process.h"

namespace vpn {

// The child of one kind launched last. A child that its worker has closed counts as no child.
class ChildRecord {
 public:
  void Set(std::shared_ptr<ChildProcess> child);
  bool HasLiveChild() const;
  // Terminates the recorded child. False when there is none, it is closed, or the system refuses.
  [[nodiscard]] bool TerminateChild();
  void Clear();

 private:
  std::shared_ptr<ChildProcess> Get() const;

  mutable std::mutex lock_;
  std::shared_ptr<ChildProcess> child_;
};

// What the workers and the control handler share, process-wide, from any thread. The flags are
// shared by both kinds of worker; the records are per kind.
struct VpnState {
  // An OpenConnect connection reported its tunnel device and has not failed or stopped since.
  std::atomic<bool> connected{false};
  // A worker announced a start to a listener and the outcome has not settled yet.
  std::atomic<bool> connecting{false};
  ChildRecord openConnectProcess;
  ChildRecord xrayProcess;
};

// The one instance. It lives until the process ends: detached workers may still use it then.
VpnState& GetVpnState();

// Whether a worker of the kind recorded in `kind_record` stops instead of starting: a live child
// of its kind while connected, or any worker connecting.
bool StopTestHolds(const ChildRecord& kind_record);

// For tests only: clears both flags and forgets both records, as at process start. The children
// themselves are left alone.
void ResetVpnStateForTesting();

}  // namespace vpn

#endif  // QUORVANTA_VPN_VPN_STATE_H_
