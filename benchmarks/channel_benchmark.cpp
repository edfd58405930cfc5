// What the channel machinery costs beside the codec work it cannot avoid. Each benchmark
// interleaves (interleaved.h) four versions of one exchange:
//   floor          only the encoding and decoding of the exchange's messages;
//   path           the whole exchange through the messenger and the channel, with the cheapest
//                  embedder stand-in (null_embedder.h) below them;
//   recorded_path  the same through the recording fake embedder the tests use;
//   fake           only the recording fake doing the calls the exchange makes of it.
// Counters: the nanoseconds of each per exchange, `ratio` = path / floor, `recorded_ratio` =
// recorded_path / floor, and `without_fake` = (recorded_path - fake) / floor.

#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "benchmarks/interleaved.h"
#include "benchmarks/null_embedder.h"
#include "channels/binary_messenger_impl.h"
#include "channels/event_channel.h"
#include "channels/method_channel.h"
#include "channels/standard_method_codec.h"
#include "tests/fakes/recording_messenger.h"

namespace {

using benchmark_support::NullEmbedder;
using benchmark_support::SetRatio;
using flutter::EncodableValue;

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

void Compare(benchmark::State& state, int batch, auto& floor, auto& path, auto& recorded_path,
             auto& fake) {
  benchmark_support::RunInterleaved(state, batch, {"floor", "path", "recorded_path", "fake"}, floor,
                                    path, recorded_path, fake);
  SetRatio(state, "ratio", "path", "floor");
  SetRatio(state, "recorded_ratio", "recorded_path", "floor");
  state.counters["without_fake"] =
      (state.counters["recorded_path_ns"] - state.counters["fake_ns"]) / state.counters["floor_ns"];
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

void AnswerVpnConnected(const flutter::MethodCall<>&,
                        std::unique_ptr<flutter::MethodResult<>> result) {
  const EncodableValue answer("1");
  result->Success(&answer);
}

// One "vpnConnected"-shaped call from the UI, answered with a one-character string.
void BM_IncomingCall(benchmark::State& state) {
  // Looked up once, as the channels do.
  const flutter::StandardMethodCodec& codec = flutter::StandardMethodCodec::GetInstance();
  NullEmbedder stand_in;
  testing_fakes::RecordingMessenger embedder;
  flutter::BinaryMessengerImpl messenger(stand_in.handle());
  flutter::BinaryMessengerImpl recorded_messenger(embedder.handle());
  flutter::MethodChannel<>(&messenger, kControlChannel, &codec)
      .SetMethodCallHandler(&AnswerVpnConnected);
  flutter::MethodChannel<>(&recorded_messenger, kControlChannel, &codec)
      .SetMethodCallHandler(&AnswerVpnConnected);
  const std::vector<uint8_t> encoded_call =
      *codec.EncodeMethodCall(flutter::MethodCall<>("vpnConnected", nullptr));
  const EncodableValue one("1");
  std::vector<uint8_t> encoded_answer = *codec.EncodeSuccessEnvelope(&one);
  FlutterDesktopMessengerSetCallback(embedder.handle(), kFakeOnlyChannel.c_str(),
                                     &AnswerLikeTheMessenger, &encoded_answer);

  DecodedEnvelope floor_decoded;
  DecodedEnvelope decoded;
  DecodedEnvelope recorded_decoded;
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
    codec.DecodeResponseEnvelope(envelope->data(), envelope->size(), &floor_decoded);
    benchmark::DoNotOptimize(floor_decoded.value);
  };
  auto path = [&] {
    const flutter::MethodCall<> outgoing("vpnConnected", nullptr);
    std::unique_ptr<std::vector<uint8_t>> message = codec.EncodeMethodCall(outgoing);
    stand_in.Deliver(*message);
    codec.DecodeResponseEnvelope(stand_in.Received().data(), stand_in.Received().size(), &decoded);
    benchmark::DoNotOptimize(decoded.value);
  };
  auto recorded_path = [&] {
    const flutter::MethodCall<> outgoing("vpnConnected", nullptr);
    std::unique_ptr<std::vector<uint8_t>> message = codec.EncodeMethodCall(outgoing);
    const FlutterDesktopMessageResponseHandle* handle = embedder.Deliver(kControlChannel, *message);
    answered &= embedder.TakeResponse(handle, &response);
    codec.DecodeResponseEnvelope(response.bytes.data(), response.bytes.size(), &recorded_decoded);
    benchmark::DoNotOptimize(recorded_decoded.value);
    embedder.MoveCallsInto(&calls);
  };
  auto fake = [&] {
    const FlutterDesktopMessageResponseHandle* handle =
        embedder.Deliver(kFakeOnlyChannel, encoded_call);
    answered &= embedder.TakeResponse(handle, &response);
    embedder.MoveCallsInto(&calls);
  };
  Compare(state, 64, floor, path, recorded_path, fake);
  if (!answered || floor_decoded.value != one || decoded.value != one ||
      recorded_decoded.value != one) {
    state.SkipWithError("an answer did not reach the embedder");
  }
}
BENCHMARK(BM_IncomingCall);

// One int32 event sent through a sink.
void BM_Event(benchmark::State& state) {
  const flutter::StandardMethodCodec& codec = flutter::StandardMethodCodec::GetInstance();
  NullEmbedder stand_in;
  testing_fakes::RecordingMessenger embedder;
  flutter::BinaryMessengerImpl messenger(stand_in.handle());
  flutter::BinaryMessengerImpl recorded_messenger(embedder.handle());
  flutter::EventChannel<>::EventSinkImplementation sink(&messenger, kEventChannel, &codec);
  flutter::EventChannel<>::EventSinkImplementation recorded_sink(&recorded_messenger, kEventChannel,
                                                                 &codec);
  const EncodableValue five(int32_t{5});
  const std::vector<uint8_t> encoded_event = *codec.EncodeSuccessEnvelope(&five);

  DecodedEnvelope floor_decoded;
  DecodedEnvelope decoded;
  DecodedEnvelope recorded_decoded;
  std::vector<testing_fakes::MessengerCall> calls;
  bool delivered = true;

  auto floor = [&] {
    const EncodableValue event(int32_t{5});
    std::unique_ptr<std::vector<uint8_t>> envelope = codec.EncodeSuccessEnvelope(&event);
    codec.DecodeResponseEnvelope(envelope->data(), envelope->size(), &floor_decoded);
    benchmark::DoNotOptimize(floor_decoded.value);
  };
  auto path = [&] {
    const EncodableValue event(int32_t{5});
    sink.Success(&event);
    codec.DecodeResponseEnvelope(stand_in.Received().data(), stand_in.Received().size(), &decoded);
    benchmark::DoNotOptimize(decoded.value);
  };
  auto recorded_path = [&] {
    const EncodableValue event(int32_t{5});
    recorded_sink.Success(&event);
    embedder.MoveCallsInto(&calls);
    delivered &= calls.size() == 1;
    if (!calls.empty()) {
      codec.DecodeResponseEnvelope(calls[0].bytes.data(), calls[0].bytes.size(), &recorded_decoded);
    }
    benchmark::DoNotOptimize(recorded_decoded.value);
  };
  auto fake = [&] {
    FlutterDesktopMessengerSend(embedder.handle(), kEventChannel.c_str(), encoded_event.data(),
                                encoded_event.size());
    embedder.MoveCallsInto(&calls);
    delivered &= calls.size() == 1;
  };
  Compare(state, 256, floor, path, recorded_path, fake);
  if (!delivered || floor_decoded.value != five || decoded.value != five ||
      recorded_decoded.value != five) {
    state.SkipWithError("an event did not reach the embedder");
  }
}
BENCHMARK(BM_Event);

}  // namespace
