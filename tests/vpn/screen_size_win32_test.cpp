
#include <windows.h>

#include <gtest/gtest.h>

#include "vpn/screen_size.h"

namespace {

TEST(ScreenSizeWin32Test, MeasuresTheDesktopWindow) {
  const vpn::DesktopMeasurement measurement = vpn::MeasureDesktop();
  ASSERT_EQ(measurement.outcome, vpn::DesktopMeasurement::Outcome::kMeasured);
  EXPECT_EQ(measurement.width, GetSystemMetrics(SM_CXSCREEN));
  EXPECT_EQ(measurement.height, GetSystemMetrics(SM_CYSCREEN));
}

}  // namespace
