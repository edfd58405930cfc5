#include <gtest/gtest.h>

#include "tests/support/log_capture.h"
#include "vpn/screen_size.h"

namespace {

TEST(ScreenSizePosixTest, WithoutADesktopWindowTheDefaultSizeIsAnswered) {
  testing_support::LogCapture log;
  EXPECT_EQ(vpn::MeasureDesktop().outcome, vpn::DesktopMeasurement::Outcome::kNoDesktopWindow);
  EXPECT_EQ(vpn::ScreenSizeText(vpn::MeasureDesktop()), "400,760");
  EXPECT_EQ(log.Err(), "GetDesktopWindow returned nullptr, using default screen size.\n");
}

}  // namespace
