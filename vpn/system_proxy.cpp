#include "vpn/system_proxy.h"

#include "base/log.h"
#include "vpn/event_streams.h"

namespace vpn {

void RequestSystemProxy(bool wanted) {
  if (wanted) {
    PostEvent(XrayEvent::ProxyOn);
    return;
  }
  logging::Err("Disabling Proxy");
  PostEvent(XrayEvent::ProxyOff);
}

}  // namespace vpn
