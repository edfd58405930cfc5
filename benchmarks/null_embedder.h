#ifndef QUORVANTA_BENCHMARKS_NULL_EMBEDDER_H_
#define QUORVANTA_BENCHMARKS_NULL_EMBEDDER_H_

#include <cstddef>
#include <cstdint>
#include <vector>

#include "shell/embedder/embedder_api.h"

namespace benchmark_support {

// The cheapest stand-in for the embedder's messaging functions that still carries the messages:
// it records nothing and checks nothing, delivers a message straight to the one callback
// registered on it, and keeps the bytes of the latest send or response for the UI side to read.
//
// The benchmark program links the messaging functions wrapped (see CMakeLists.txt): calls on this
// stand-in's handle come here, calls on any other handle go on to the recording fake. One
// instance at a time, used from one thread.
class NullEmbedder {
 public:
  NullEmbedder();
  ~NullEmbedder();
  NullEmbedder(const NullEmbedder&) = delete;
  NullEmbedder& operator=(const NullEmbedder&) = delete;

  // The stand-in that `messenger` is the handle of, or null.
  static NullEmbedder* Owning(FlutterDesktopMessengerRef messenger);

  FlutterDesktopMessengerRef handle() { return reinterpret_cast<FlutterDesktopMessengerRef>(this); }

  // Delivers `message` to the registered callback, on this thread.
  void Deliver(const std::vector<uint8_t>& message);

  // The bytes of the latest send or response.
  const std::vector<uint8_t>& Received() const { return received_; }

  // What the wrapped messaging functions do on this stand-in's handle.
  void Register(FlutterDesktopMessageCallback callback, void* user_data) {
    callback_ = callback;
    user_data_ = user_data;
  }
  void Receive(const uint8_t* bytes, size_t size) { received_.assign(bytes, bytes + size); }

 private:
  FlutterDesktopMessageCallback callback_ = nullptr;
  void* user_data_ = nullptr;
  std::vector<uint8_t> received_;
};

}  // namespace benchmark_support

#endif  // QUORVANTA_BENCHMARKS_NULL_EMBEDDER_H_
