#include <string>

#include "tests/vpn/vpn_test_fixture.h"
#include "vpn/screen_size.h"
#include "vpn/worker_thread.h"

namespace vpn_testing {
namespace {

using flutter::EncodableList;
using flutter::EncodableMap;
using flutter::EncodableValue;
using ::testing::HasSubstr;
using ::testing::Not;
using testing_support::MethodAnswer;

using ControlChannelTest = VpnTest;

// "vpnConnected" is asked in the worker tests, where the flags change.
TEST_F(ControlChannelTest, TheScreenSizeIsAnsweredAsTextAndFallsBackToADefault) {
  const auto answer = Call("screen_size", {});
  ASSERT_EQ(answer->kind, MethodAnswer::Kind::kSuccess);
  const std::string* size = std::get_if<std::string>(&answer->value);
  ASSERT_NE(size, nullptr);
  EXPECT_EQ(log_.Out(), "Screen size: " + *size + "\n");
  if (!kWindows) {  // no desktop window to measure
    EXPECT_EQ(*size, "400,760");
    EXPECT_EQ(log_.Err(), "GetDesktopWindow returned nullptr, using default screen size.\n");
  }
  log_.Clear();

  using Outcome = vpn::DesktopMeasurement::Outcome;
  EXPECT_EQ(vpn::ScreenSizeText({Outcome::kMeasured, 1920, -1080}), "1920,-1080");
  EXPECT_EQ(vpn::ScreenSizeText({Outcome::kRectangleFailed, 5, 5}), "400,760");
  EXPECT_EQ(vpn::ScreenSizeText({Outcome::kNoDesktopWindow, 5, 5}), "400,760");
  EXPECT_EQ(log_.Err(),
            "GetWindowRect failed, using default screen size.\n"
            "GetDesktopWindow returned nullptr, using default screen size.\n");
}

TEST_F(ControlChannelTest, TogglesAnswerZeroAtOnceAndIgnoreExtraElements) {
  const auto open_connect =
      Call("toggleOpenConnect", EncodableList{ChildScript().Text(), "u", "p", int32_t{7}});
  EXPECT_EQ(open_connect->kind, MethodAnswer::Kind::kSuccess);
  EXPECT_EQ(open_connect->value, EncodableValue(int32_t{0}));
  const auto xray = Call("toggleV2ray", EncodableList{"", ChildScript().Text(), true});
  EXPECT_EQ(xray->kind, MethodAnswer::Kind::kSuccess);
  Settle();
  const std::string out = log_.Out();
  size_t ends = 0;
  for (size_t at = 0; (at = out.find("toggleVPN END\n", at)) != std::string::npos; ++at) ++ends;
  EXPECT_EQ(ends, 2u);
}

TEST_F(ControlChannelTest, UnknownNamesStayUnanswered) {
  for (const char* name :
       {"vpnconnected", "vpnConnected ", "toggleOpenConnectX", "", "SCREEN_SIZE"}) {
    EXPECT_EQ(Call(name, EncodableList{"a", "b", "c"})->answers, 0) << name;
  }
  EXPECT_EQ(vpn::RunningWorkers(), 0);
  EXPECT_EQ(log_.Out() + log_.Err(), "");
}

TEST_F(ControlChannelTest, MalformedTogglesAndAFailedThreadStartAreAnsweredWithAnError) {
  const struct {
    const char* method;
    EncodableValue arguments;
  } cases[] = {
      {"toggleOpenConnect", EncodableValue()},
      {"toggleOpenConnect", EncodableValue("server")},
      {"toggleOpenConnect", EncodableList{"server", "user"}},
      {"toggleOpenConnect", EncodableList{"server", int32_t{1}, "password"}},
      {"toggleOpenConnect", EncodableList{"server", "user\nsecret", "password"}},
      {"toggleOpenConnect", EncodableList{"server", "user", "pass\rword"}},
      {"toggleOpenConnect", EncodableList{std::string("ser\0ver", 7), "user", "password"}},
      {"toggleV2ray", EncodableList{"only one"}},
      {"toggleV2ray", EncodableList{EncodableValue(), "config"}},
      {"toggleV2ray", EncodableMap{{"config", "x"}}},
  };
  for (const auto& malformed : cases) {
    const auto answer = Call(malformed.method, malformed.arguments);
    EXPECT_EQ(answer->kind, MethodAnswer::Kind::kError) << malformed.method;
    EXPECT_EQ(answer->answers, 1);
    EXPECT_EQ(answer->error_code, "bad_arguments");
    EXPECT_EQ(vpn::RunningWorkers(), 0);
  }

  const vpn::ThreadStartFunction previous =
      vpn::SetThreadStartFunctionForTesting([](std::function<void()>) { return false; });
  const auto answer = Call("toggleV2ray", EncodableList{"", "config"});
  vpn::SetThreadStartFunctionForTesting(previous);
  EXPECT_EQ(answer->kind, MethodAnswer::Kind::kError);
  EXPECT_EQ(answer->error_code, "thread_failed");
  EXPECT_EQ(vpn::RunningWorkers(), 0);
  EXPECT_THAT(log_.Out(), Not(HasSubstr("toggleVPN END")));
}

}  // namespace
}  // namespace vpn_testing
