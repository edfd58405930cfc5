#ifndef QUORVANTA_VPN_CONTROL_CHANNEL_H_
#define QUORVANTA_VPN_CONTROL_CHANNEL_H_

#include <memory>

#include "channels/method_call.h"
#include "channels/method_result.h"

namespace vpn {

// The handler of "quorvanta/channeling", on the platform thread. "toggleOpenConnect" and
// "toggleV2ray" start a detached worker and answer 0 at once; "screen_size" and "vpnConnected"
// answer their queries; any other name is left unanswered. Malformed toggle arguments and a worker
// that cannot be started are answered with an error, and no worker runs.
void HandleControlMethodCall(const flutter::MethodCall<>& call,
                             std::unique_ptr<flutter::MethodResult<>> result);

}  // namespace vpn

#endif  // QUORVANTA_VPN_CONTROL_CHANNEL_H_
