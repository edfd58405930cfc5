#include "vpn/screen_size.h"

#include "base/log.h"

namespace vpn {

std::string ScreenSizeText(const DesktopMeasurement& measurement) {
  int32_t width = 400;
  int32_t height = 760;
  switch (measurement.outcome) {
    case DesktopMeasurement::Outcome::kMeasured:
      width = measurement.width;
      height = measurement.height;
      break;
    case DesktopMeasurement::Outcome::kNoDesktopWindow:
      logging::Err("GetDesktopWindow returned nullptr, using default screen size.");
      break;
    case DesktopMeasurement::Outcome::kRectangleFailed:
      logging::Err("GetWindowRect failed, using default screen size.");
      break;
  }
  return std::to_string(width) + "," + std::to_string(height);
}

}  // namespace vpn
