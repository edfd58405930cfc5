#include "vpn/vpn_state.h"

namespace vpn {

void ChildRecord::Set(std::shared_ptr<ChildProcess> child) {
  std::lock_guard<std::mutex> hold(lock_);
  child_ = std::move(child);
}

std::shared_ptr<ChildProcess> ChildRecord::Get() const {
  std::lock_guard<std::mutex> hold(lock_);
  return child_;
}

bool ChildRecord::HasLiveChild() const {
  const std::shared_ptr<ChildProcess> child = Get();
  return child != nullptr && child->IsLive();
}

bool ChildRecord::TerminateChild() {
  const std::shared_ptr<ChildProcess> child = Get();
  return child != nullptr && child->Terminate();
}

void ChildRecord::Clear() { Set(nullptr); }

VpnState& GetVpnState() {
  static VpnState* const state = new VpnState();
  return *state;
}

bool StopTestHolds(const ChildRecord& kind_record) {
  const VpnState& state = GetVpnState();
  return (kind_record.HasLiveChild() && state.connected) || state.connecting;
}

void ResetVpnStateForTesting() {
  VpnState& state = GetVpnState();
  state.connected = false;
  state.connecting = false;
  state.openConnectProcess.Clear();
  state.xrayProcess.Clear();
}

}  // namespace vpn
