#ifndef QUORVANTA_VPN_SYSTEM_PROXY_H_
#define QUORVANTA_VPN_SYSTEM_PROXY_H_

namespace vpn {

// Asks the UI to switch the system proxy on or off, by posting ProxyOn or ProxyOff on
// "v2ray_events"; the UI does the switching. Dropped when the stream has no listener.
void RequestSystemProxy(bool wanted);

}  // namespace vpn

#endif  // QUORVANTA_VPN_SYSTEM_PROXY_H_
