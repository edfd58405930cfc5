#include "vpn/vpn_state.h"

namespace vpn {

VpnState& GetVpnState() {
  static VpnState* const state = new VpnState();
  return *state;
}

bool StopTestHolds(const std::shared_ptr<Connection>& record) {
  const VpnState& state = GetVpnState();
  return (record != nullptr && record->IsLive() && state.connected) || state.connecting;
}

void ClearFlags() {
  VpnState& state = GetVpnState();
  state.connected = false;
  state.connecting = false;
}

void ResetVpnStateForTesting() {
  VpnState& state = GetVpnState();
  std::lock_guard<std::mutex> hold(state.lock);
  for (std::shared_ptr<Connection>* record : {&state.openConnectProcess, &state.xrayProcess}) {
    if (*record != nullptr && (*record)->IsLive()) {
      (*record)->Supersede();
    }
    record->reset();
  }
  ClearFlags();
}

}  // namespace vpn
