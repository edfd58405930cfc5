#ifndef QUORVANTA_TESTS_CHANNELS_MESSENGER_FIXTURE_H_
#define QUORVANTA_TESTS_CHANNELS_MESSENGER_FIXTURE_H_

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <future>
#include <optional>
#include <string>
#include <vector>

#include "channels/binary_messenger_impl.h"
#include "channels/method_call.h"
#include "channels/standard_method_codec.h"
#include "tests/fakes/recording_messenger.h"
#include "tests/support/log_capture.h"

namespace channels_test {

using Bytes = std::vector<uint8_t>;
using testing_fakes::MessengerFunction;

inline constexpr std::chrono::seconds kWaitLimit{10};

// The encoded call `name` with `arguments`, as the UI side sends it.
inline Bytes EncodedCall(const std::string& name, flutter::EncodableValue arguments = {}) {
  flutter::MethodCall<> call(name, std::make_unique<flutter::EncodableValue>(std::move(arguments)));
  return *flutter::StandardMethodCodec::GetInstance().EncodeMethodCall(call);
}

// Waits, with a limit, for work running on another thread.
inline ::testing::AssertionResult FinishesInTime(std::future<void>& work) {
  if (work.wait_for(kWaitLimit) != std::future_status::ready) {
    return ::testing::AssertionFailure() << "the worker did not finish in time";
  }
  return ::testing::AssertionSuccess();
}

// A messenger over the recording embedder, with the log captured. After each test the embedder
// must have seen no protocol violation and every add-ref must have been released.
class MessengerTest : public ::testing::Test {
 protected:
  void TearDown() override {
    EXPECT_THAT(embedder_.Violations(), ::testing::IsEmpty());
    EXPECT_EQ(embedder_.OutstandingReferences(), 0);
  }

  // Delivers the call `name` on `channel_` and returns the response that came back at once, if
  // any.
  std::optional<testing_fakes::Response> Call(const std::string& name,
                                              flutter::EncodableValue arguments = {}) {
    return embedder_.ResponseTo(
        embedder_.Deliver(channel_, EncodedCall(name, std::move(arguments))));
  }

  // The functions called so far, in order.
  std::vector<MessengerFunction> FunctionsCalled() const {
    std::vector<MessengerFunction> functions;
    for (const testing_fakes::MessengerCall& call : embedder_.Calls()) {
      functions.push_back(call.function);
    }
    return functions;
  }

  std::string channel_ = "quorvanta/channeling";
  testing_support::LogCapture log_;
  testing_fakes::RecordingMessenger embedder_;
  flutter::BinaryMessengerImpl messenger_{embedder_.handle()};
};

}  // namespace channels_test

#endif  // QUORVANTA_TESTS_CHANNELS_MESSENGER_FIXTURE_H_
