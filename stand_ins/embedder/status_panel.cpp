#include "stand_ins/embedder/status_panel.h"

#include <string_view>

namespace stand_in {
namespace {

constexpr std::string_view kOpenConnectEvents = "openconnect_events";
constexpr std::string_view kXrayEvents = "v2ray_events";
constexpr std::string_view kVpnConnected = "vpnConnected";
constexpr int64_t kProxyOn = 8;
constexpr int64_t kProxyOff = 9;

// The codes of the two event streams, by the names the program gives them.
struct EventName {
  std::string_view channel;
  int64_t code;
  const char* name;
};
constexpr EventName kEventNames[] = {
    {kOpenConnectEvents, 4, "Connecting"},
    {kOpenConnectEvents, 5, "Connected"},
    {kOpenConnectEvents, 6, "Disconnected"},
    {kXrayEvents, 3, "Starting"},
    {kXrayEvents, kProxyOn, "ProxyOn"},
    {kXrayEvents, kProxyOff, "ProxyOff"},
    {kXrayEvents, 41, "Stopped"},
    {kXrayEvents, 61, "Started"},
};

std::optional<int64_t> Code(const Answer& event) {
  if (event.kind != Answer::Kind::kSuccess || !event.value.is_number_integer()) {
    return std::nullopt;
  }
  return event.value.get<int64_t>();
}

// The event's name; a code without a name, or an error, in its transcript form.
std::string EventText(std::string_view channel, const std::optional<Answer>& event) {
  if (!event) return "no event yet";
  if (event->kind == Answer::Kind::kEmpty) return "end of stream";
  if (const std::optional<int64_t> code = Code(*event)) {
    for (const EventName& entry : kEventNames) {
      if (entry.channel == channel && entry.code == *code) return entry.name;
    }
  }
  return event->Text();
}

std::string ProxyText(std::optional<int64_t> request) {
  if (!request) return "none yet";
  return *request == kProxyOn ? "on" : "off";
}

}  // namespace

std::vector<std::string> PanelLines(const PanelState& state) {
  return {
      "OpenConnect: " + EventText(kOpenConnectEvents, state.openconnect_event),
      "Xray: " + EventText(kXrayEvents, state.xray_event),
      "vpnConnected: " + (state.vpn_connected ? state.vpn_connected->Text() : "not asked yet"),
      "System proxy request: " + ProxyText(state.proxy_request),
  };
}

void StatusPanel::RecordEvent(const std::string& channel, const Answer& event) {
  std::lock_guard<std::mutex> hold(lock_);
  if (channel == kOpenConnectEvents) {
    state_.openconnect_event = event;
  } else if (channel == kXrayEvents) {
    state_.xray_event = event;
    const std::optional<int64_t> code = Code(event);
    if (code == kProxyOn || code == kProxyOff) state_.proxy_request = code;
  }
}

void StatusPanel::RecordReply(const std::string& call_name, const Answer& reply) {
  std::lock_guard<std::mutex> hold(lock_);
  if (call_name == kVpnConnected) state_.vpn_connected = reply;
}

std::vector<std::string> StatusPanel::Lines() const {
  std::lock_guard<std::mutex> hold(lock_);
  return PanelLines(state_);
}

}  // namespace stand_in
