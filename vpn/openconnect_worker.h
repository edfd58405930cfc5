#ifndef QUORVANTA_VPN_OPENCONNECT_WORKER_H_
#define QUORVANTA_VPN_OPENCONNECT_WORKER_H_

#include <string>
#include <string_view>

#include "vpn/native_string.h"

namespace vpn {

// The body of a "toggleOpenConnect" worker thread: stops the running OpenConnect child, or
// launches one against `server`, answers its prompts and reports the connection state on
// "openconnect_events" until the child ends.
void RunOpenConnect(std::string user_name, std::string password, std::string server);

// "--allow-insecure-crypto " and the server, quoted where needed so that it reaches the child as
// exactly one argument; a plain host name is left as it is.
NativeString OpenConnectCommandLine(std::string_view server);

}  // namespace vpn

#endif  // QUORVANTA_VPN_OPENCONNECT_WORKER_H_
