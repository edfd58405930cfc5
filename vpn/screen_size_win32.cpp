
#include <windows.h>

#include "vpn/screen_size.h"

namespace vpn {

DesktopMeasurement MeasureDesktop() {
  DesktopMeasurement measurement;
  HWND desktop = GetDesktopWindow();
  if (desktop == nullptr) {
    measurement.outcome = DesktopMeasurement::Outcome::kNoDesktopWindow;
    return measurement;
  }
  RECT rectangle{};
  if (!GetWindowRect(desktop, &rectangle)) {
    measurement.outcome = DesktopMeasurement::Outcome::kRectangleFailed;
    return measurement;
  }
  // The desktop window starts at 0,0: its right and bottom edges are its size.
  measurement.outcome = DesktopMeasurement::Outcome::kMeasured;
  measurement.width = rectangle.right;
  measurement.height = rectangle.bottom;
  return measurement;
}

}  // namespace vpn
