#include "vpn/screen_size.h"

namespace vpn {

DesktopMeasurement MeasureDesktop() { return {}; }

}  // namespace vpn
