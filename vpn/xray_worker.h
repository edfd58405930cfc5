#ifndef QUORVANTA_VPN_XRAY_WORKER_H_
#define QUORVANTA_VPN_XRAY_WORKER_H_

#include <string>

namespace vpn {

// The body of a "toggleV2ray" worker thread: stops the running Xray child, or launches one with
// `configuration` as its command line, feeds it the configuration when it asks, and reports on
// "v2ray_events" until the child ends. Start and stop also request the system proxy on and off.
void RunXray(std::string configuration);

}  // namespace vpn

#endif  // QUORVANTA_VPN_XRAY_WORKER_H_
