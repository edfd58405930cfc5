#ifndef QUORVANTA_STAND_INS_EMBEDDER_STATUS_PANEL_H_
#define QUORVANTA_STAND_INS_EMBEDDER_STATUS_PANEL_H_

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "stand_ins/embedder/answer.h"

namespace stand_in {

// The connection state as the UI side last saw it, for the panel that the view paints above the
// transcript.
struct PanelState {
  std::optional<Answer> openconnect_event;  // the last event on "openconnect_events"
  std::optional<Answer> xray_event;         // the last event on "v2ray_events"
  std::optional<int64_t> proxy_request;     // the code of the last ProxyOn or ProxyOff event
  std::optional<Answer> vpn_connected;      // the last reply to "vpnConnected"
};

// The panel's lines, one per item, such as "OpenConnect: Connected" or "vpnConnected: \"1\"".
std::vector<std::string> PanelLines(const PanelState& state);

// Keeps the panel's state: the UI side records, the view reads on the platform thread.
class StatusPanel {
 public:
  // An event that the UI side took on `channel`; other channels than the two streams are left out.
  void RecordEvent(const std::string& channel, const Answer& event);
  // A reply to the call that the transcript names `call_name`; only "vpnConnected" is kept.
  void RecordReply(const std::string& call_name, const Answer& reply);

  std::vector<std::string> Lines() const;

 private:
  mutable std::mutex lock_;
  PanelState state_;
};

}  // namespace stand_in

#endif  // QUORVANTA_STAND_INS_EMBEDDER_STATUS_PANEL_H_
