#ifndef QUORVANTA_VPN_SCREEN_SIZE_H_
#define QUORVANTA_VPN_SCREEN_SIZE_H_

#include <cstdint>
#include <string>

// Neither function keeps state; any thread may call them. The control channel calls them on the
// platform thread while it answers "screen_size".

namespace vpn {

struct DesktopMeasurement {
  enum class Outcome { kMeasured, kNoDesktopWindow, kRectangleFailed };
  Outcome outcome = Outcome::kNoDesktopWindow;
  int32_t width = 0;
  int32_t height = 0;
};

// Asks the system for the desktop's size: on Windows the desktop window's rectangle (its right
// and bottom edges). The POSIX build hosts no desktop UI and has no desktop window to ask: it
// reports kNoDesktopWindow, so the UI gets the default size.
DesktopMeasurement MeasureDesktop();

// The "screen_size" answer: "width,height", or the default "400,760" with the fallback line on
// standard error when the measurement failed.
std::string ScreenSizeText(const DesktopMeasurement& measurement);

}  // namespace vpn

#endif  // QUORVANTA_VPN_SCREEN_SIZE_H_
