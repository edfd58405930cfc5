// What the channel machinery costs beside the codec work it cannot avoid.
//
// Each benchmark alternates short timed batches of three versions of one exchange, so that all
// three see the same machine load:
//   floor  only the encoding and decoding of the exchange's messages;
//   fake   only the recording fake embedder doing the calls the exchange makes of it;
//   path   the whole exchange through the fake embedder, the messenger and the channel.
// Counters: the nanoseconds of each per exchange, `ratio` = path / floor, and
// `without_fake` = (path - fake) / floor, the path's cost without the fake's own bookkeeping.

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "channels/binary_messenger_impl.h"
#include "channels/event_channel.h"
#include "channels/method_channel.h"
#include "channels/standard_method_codec.h"
#include "tests/fakes/recording_messenger.h"

namespace {

using flutter::EncodableValue;

constexpr int kBatch = 64;
const std::string kControlChannel = "quorvanta/channeling";
const std::string kEventChannel = "openconnect_events";
const std::string kFakeOnlyChannel = "fake/only";

// The UI side's reading of an answer or an event envelope.
class DecodedEnvelope : public flutter::MethodResult<> {
 public:
  void Success(const EncodableValue* result) override {
    value = result ? *result : EncodableValue();
  }
  void Error(const std::string&, const std::string&, const EncodableValue*) override {
    value = EncodableValue();
  }
  void NotImplemented() override { value = EncodableValue(); }

  EncodableValue value;
};

template <typename Work>
double BatchNanoseconds(Work& work) {
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < kBatch; ++i) {
    work();
  }
  return std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count();
}

template <typename Floor, typename Fake, typename Path>
void CompareInterleaved(benchmark::State& state, Floor& floor, Fake& fake, Path& path) {
  double floor_ns = 0;
  double fake_ns = 0;
  double path_ns = 0;
  int64_t exchanges = 0;
  for (auto _ : state) {
    floor_ns += BatchNanoseconds(floor);
    fake_ns += BatchNanoseconds(fake);
    path_ns += BatchNanoseconds(path);
    exchanges += kBatch;
  }
  state.counters["floor_ns"] = floor_ns / static_cast<double>(exchanges);
  state.counters["fake_ns"] = fake_ns / static_cast<double>(exchanges);
  state.counters["path_ns"] = path_ns / static_cast<double>(exchanges);
  state.counters["ratio"] = path_ns / floor_ns;
  state.counters["without_fake"] = (path_ns - fake_ns) / floor_ns;
}

// The embedder calls the messenger makes to answer one message, made directly.
void AnswerLikeTheMessenger(FlutterDesktopMessengerRef messenger,
                            const FlutterDesktopMessage* message, void* user_data) {
  const auto& answer = *static_cast<const std::vector<uint8_t>*>(user_data);
  FlutterDesktopMessengerRef reference = FlutterDesktopMessengerAddRef(messenger);
  FlutterDesktopMessengerRef lock = FlutterDesktopMessengerLock(reference);
  if (FlutterDesktopMessengerIsAvailable(reference)) {
    FlutterDesktopMessengerSendResponse(reference, message->response_handle, answer.data(),
                                        answer.size());
  }
  FlutterDesktopMessengerUnlock(lock);
  FlutterDesktopMessengerRelease(reference);
}

// One "vpnConnected"-shaped call from the UI, answered with a one-character string.
void BM_IncomingCall(benchmark::State& state) {
  // Looked up once, as the channels do.
  const flutter::StandardMethodCodec& codec = flutter::StandardMethodCodec::GetInstance();
  testing_fakes::RecordingMessenger embedder;
  flutter::BinaryMessengerImpl messenger(embedder.handle());
  flutter::MethodChannel<>(&messenger, kControlChannel, &codec)
      .SetMethodCallHandler(
          [](const flutter::MethodCall<>&, std::unique_ptr<flutter::MethodResult<>> result) {
            const EncodableValue answer("1");
            result->Success(&answer);
          });
  const flutter::MethodCall<> call("vpnConnected", nullptr);
  const std::vector<uint8_t> encoded_call = *codec.EncodeMethodCall(call);
  const EncodableValue one("1");
  std::vector<uint8_t> encoded_answer = *codec.EncodeSuccessEnvelope(&one);
  FlutterDesktopMessengerSetCallback(embedder.handle(), kFakeOnlyChannel.c_str(),
                                     &AnswerLikeTheMessenger, &encoded_answer);

  DecodedEnvelope decoded;
  testing_fakes::Response response;
  std::vector<testing_fakes::MessengerCall> calls;
  bool answered = true;

  auto floor = [&] {
    const flutter::MethodCall<> outgoing("vpnConnected", nullptr);
    std::unique_ptr<std::vector<uint8_t>> message = codec.EncodeMethodCall(outgoing);
    std::unique_ptr<flutter::MethodCall<>> incoming =
        codec.DecodeMethodCall(message->data(), message->size());
    benchmark::DoNotOptimize(incoming.get());
    const EncodableValue answer("1");
    std::unique_ptr<std::vector<uint8_t>> envelope = codec.EncodeSuccessEnvelope(&answer);
    codec.DecodeResponseEnvelope(envelope->data(), envelope->size(), &decoded);
    benchmark::DoNotOptimize(decoded.value);
  };
  auto fake = [&] {
    const FlutterDesktopMessageResponseHandle* handle =
        embedder.Deliver(kFakeOnlyChannel, encoded_call);
    answered &= embedder.TakeResponse(handle, &response);
    embedder.MoveCallsInto(&calls);
  };
  auto path = [&] {
    const flutter::MethodCall<> outgoing("vpnConnected", nullptr);
    std::unique_ptr<std::vector<uint8_t>> message = codec.EncodeMethodCall(outgoing);
    const FlutterDesktopMessageResponseHandle* handle = embedder.Deliver(kControlChannel, *message);
    answered &= embedder.TakeResponse(handle, &response);
    codec.DecodeResponseEnvelope(response.bytes.data(), response.bytes.size(), &decoded);
    benchmark::DoNotOptimize(decoded.value);
    embedder.MoveCallsInto(&calls);
  };
  CompareInterleaved(state, floor, fake, path);
  if (!answered || decoded.value != one) {
    state.SkipWithError("an answer did not reach the embedder");
  }
}
BENCHMARK(BM_IncomingCall);

// One int32 event sent through a sink.
void BM_Event(benchmark::State& state) {
  const flutter::StandardMethodCodec& codec = flutter::StandardMethodCodec::GetInstance();
  testing_fakes::RecordingMessenger embedder;
  flutter::BinaryMessengerImpl messenger(embedder.handle());
  flutter::EventChannel<>::EventSinkImplementation sink(&messenger, kEventChannel, &codec);
  const EncodableValue five(int32_t{5});
  const std::vector<uint8_t> encoded_event = *codec.EncodeSuccessEnvelope(&five);

  DecodedEnvelope decoded;
  std::vector<testing_fakes::MessengerCall> calls;
  bool delivered = true;

  auto floor = [&] {
    const EncodableValue event(int32_t{5});
    std::unique_ptr<std::vector<uint8_t>> envelope = codec.EncodeSuccessEnvelope(&event);
    codec.DecodeResponseEnvelope(envelope->data(), envelope->size(), &decoded);
    benchmark::DoNotOptimize(decoded.value);
  };
  auto fake = [&] {
    FlutterDesktopMessengerSend(embedder.handle(), kEventChannel.c_str(), encoded_event.data(),
                                encoded_event.size());
    embedder.MoveCallsInto(&calls);
    delivered &= calls.size() == 1;
  };
  auto path = [&] {
    const EncodableValue event(int32_t{5});
    sink.Success(&event);
    embedder.MoveCallsInto(&calls);
    delivered &= calls.size() == 1;
    codec.DecodeResponseEnvelope(calls[0].bytes.data(), calls[0].bytes.size(), &decoded);
    benchmark::DoNotOptimize(decoded.value);
  };
  CompareInterleaved(state, floor, fake, path);
  if (!delivered || decoded.value != five) {
    state.SkipWithError("an event did not reach the embedder");
  }
}
BENCHMARK(BM_Event);

}  // namespace
