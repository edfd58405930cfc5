#ifndef QUORVANTA_VPN_XRAY_PHRASES_H_
#define QUORVANTA_VPN_XRAY_PHRASES_H_

#include <string_view>

namespace vpn {

// What a chunk of the Xray core's output says, by the first of its phrases the chunk holds.
enum class XrayChunk {
  kOther,
  kAsksForConfiguration,  // "stdin:": the worker writes the configuration
  kStarted,               // "[Warning] core: Xray" and "started": Started is posted
  kConfigurationFailed,   // "failed to load config files": Stopped, and "c.json" is removed
};

// Each chunk is classified alone, so a phrase cut by a read boundary matches in neither part.
// Any thread.
XrayChunk ClassifyXrayChunk(std::string_view chunk);

}  // namespace vpn

#endif  // QUORVANTA_VPN_XRAY_PHRASES_H_
