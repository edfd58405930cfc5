#include "vpn/xray_phrases.h"

namespace vpn {
namespace {

bool Holds(std::string_view chunk, std::string_view phrase) {
  return chunk.find(phrase) != std::string_view::npos;
}

}  // namespace

XrayChunk ClassifyXrayChunk(std::string_view chunk) {
  if (Holds(chunk, "stdin:")) {
    return XrayChunk::kAsksForConfiguration;
  } else if (Holds(chunk, "[Warning] core: Xray") && Holds(chunk, "started")) {
    return XrayChunk::kStarted;
  } else if (Holds(chunk, "failed to load config files")) {
    return XrayChunk::kConfigurationFailed;
  }
  return XrayChunk::kOther;
}

}  // namespace vpn
