#include <string>

#include "tests/vpn/vpn_test_fixture.h"
#include "vpn/screen_size.h"
#include "vpn/worker_thread.h"

namespace vpn_testing {
namespace {

using flutter::EncodableList;
using flutter::EncodableMap;
using flutter::EncodableValue;
using testing_support::MethodAnswer;

using ControlChannelTest = VpnTest;

// The size as the UI reads it; the measurement and the answer are seen in the whole program's run,
// "vpnConnected" in the worker tests, where the flags change.
TEST(ScreenSizeTest, IsTextWithADefault) {
  testing_support::LogCapture log;
  using Outcome = vpn::DesktopMeasurement::Outcome;
  EXPECT_EQ(vpn::ScreenSizeText({Outcome::kMeasured, 1920, -1080}), "1920,-1080");
  EXPECT_EQ(vpn::ScreenSizeText({Outcome::kRectangleFailed, 5, 5}), "400,760");
  EXPECT_EQ(vpn::ScreenSizeText({Outcome::kNoDesktopWindow, 5, 5}), "400,760");
  EXPECT_EQ(log.Err(),
            "GetWindowRect failed, using default screen size.\n"
            "GetDesktopWindow returned nullptr, using default screen size.\n");
}

// "0" for Success(0), the error code of an error, "none" when unanswered and let go.
std::string Answered(const MethodAnswer& answer) {
  if (!answer.released) return "result kept";
  if (answer.answers != 1) return answer.answers == 0 ? "none" : "more than once";
  if (answer.kind == MethodAnswer::Kind::kError) return answer.error_code;
  return answer.value == EncodableValue(int32_t{0}) ? "0" : "another success";
}

// Every call is answered once or never: a toggle with Success(0) at once, whatever follows its
// strings; a malformed toggle, or one whose thread cannot start, with an error and no worker; an
// unknown name never.
TEST_F(ControlChannelTest, EachCallIsAnsweredAsItsNameAndArgumentsAsk) {
  const std::string ends = ChildScript().Text();  // a child that ends at once
  const struct {
    const char* method;
    EncodableValue arguments;
    std::string answer;
  } cases[] = {
      {"toggleOpenConnect", EncodableList{ends, "u", "p", int32_t{7}}, "0"},
      {"toggleV2ray", EncodableList{"", ends, true}, "0"},
      {"toggleOpenConnect", EncodableValue(), "bad_arguments"},
      {"toggleOpenConnect", EncodableValue("server"), "bad_arguments"},
      {"toggleOpenConnect", EncodableList{"server", "user"}, "bad_arguments"},
      {"toggleOpenConnect", EncodableList{"server", int32_t{1}, "password"}, "bad_arguments"},
      {"toggleOpenConnect", EncodableList{"server", "user\nsecret", "password"}, "bad_arguments"},
      {"toggleOpenConnect", EncodableList{"server", "user", "pass\rword"}, "bad_arguments"},
      {"toggleOpenConnect", EncodableList{std::string("ser\0ver", 7), "user", "password"},
       "bad_arguments"},
      {"toggleV2ray", EncodableList{"only one"}, "bad_arguments"},
      {"toggleV2ray", EncodableList{EncodableValue(), "config"}, "bad_arguments"},
      {"toggleV2ray", EncodableMap{{"config", "x"}}, "bad_arguments"},
      {"toggleV2ray", EncodableList{"", "config"}, "thread_failed"},
      {"vpnconnected", EncodableList{"a", "b", "c"}, "none"},
      {"toggleOpenConnectX", EncodableList{"a", "b", "c"}, "none"},
  };
  for (const auto& test : cases) {
    const bool refused = test.answer == "thread_failed";
    vpn::ThreadStartFunction previous = nullptr;
    if (refused) {
      previous = vpn::SetThreadStartFunctionForTesting([](std::function<void()>) { return false; });
    }
    EXPECT_EQ(Answered(*Call(test.method, test.arguments)), test.answer) << test.method;
    if (refused) vpn::SetThreadStartFunctionForTesting(previous);
  }
  Settle();
  const std::string out = log_.Out();
  size_t started = 0;
  for (size_t at = 0; (at = out.find("toggleVPN END", at)) != std::string::npos; ++at) ++started;
  EXPECT_EQ(started, 2u) << "one worker for each toggle answered with 0";
}

}  // namespace
}  // namespace vpn_testing
