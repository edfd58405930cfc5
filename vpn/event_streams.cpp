#include "vpn/event_streams.h"

#include <mutex>
#include <utility>

namespace vpn {
namespace {

using Sink = std::shared_ptr<flutter::EventSink<>>;

// Workers post from their own threads while the platform thread listens and cancels, so the
// slots are locked; a sink is shared so that a delivery in progress keeps it alive.
struct Streams {
  std::mutex lock;
  Sink open_connect;
  Sink xray;
  std::shared_ptr<PlatformTaskRunner> runner;

  Sink& Slot(EventStream stream) {
    return stream == EventStream::kOpenConnect ? open_connect : xray;
  }
};

// Never destroyed: detached workers may still post while the process exits.
Streams& GetStreams() {
  static Streams* const streams = new Streams();
  return *streams;
}

// Runs on the platform thread.
void Deliver(EventStream stream, int32_t code) {
  Streams& streams = GetStreams();
  Sink sink;
  {
    std::lock_guard<std::mutex> hold(streams.lock);
    sink = streams.Slot(stream);
  }
  if (sink != nullptr) {
    const flutter::EncodableValue event(code);
    sink->Success(&event);
  }
}

}  // namespace

std::unique_ptr<flutter::StreamHandlerError<>> OnListen(
    EventStream stream, const flutter::EncodableValue* /*arguments*/,
    std::unique_ptr<flutter::EventSink<>>&& events) {
  Streams& streams = GetStreams();
  Sink previous;
  {
    std::lock_guard<std::mutex> hold(streams.lock);
    previous = std::exchange(streams.Slot(stream), Sink(std::move(events)));
  }
  return nullptr;
}

std::unique_ptr<flutter::StreamHandlerError<>> OnCancel(
    EventStream stream, const flutter::EncodableValue* /*arguments*/) {
  Streams& streams = GetStreams();
  Sink previous;
  {
    std::lock_guard<std::mutex> hold(streams.lock);
    previous = std::exchange(streams.Slot(stream), nullptr);
  }
  return nullptr;
}

void PostEvent(EventStream stream, int32_t code) {
  Streams& streams = GetStreams();
  std::shared_ptr<PlatformTaskRunner> runner;
  {
    std::lock_guard<std::mutex> hold(streams.lock);
    if (streams.Slot(stream) == nullptr) {
      return;
    }
    runner = streams.runner;
  }
  if (runner != nullptr) {
    // A refused task is the event dropped: the platform thread is gone.
    static_cast<void>(runner->PostTask([stream, code] { Deliver(stream, code); }));
  }
}

void PostEvent(OpenConnectEvent event) {
  PostEvent(EventStream::kOpenConnect, static_cast<int32_t>(event));
}

void PostEvent(XrayEvent event) { PostEvent(EventStream::kXray, static_cast<int32_t>(event)); }

bool HasListener(EventStream stream) {
  Streams& streams = GetStreams();
  std::lock_guard<std::mutex> hold(streams.lock);
  return streams.Slot(stream) != nullptr;
}

void SetPlatformTaskRunner(std::shared_ptr<PlatformTaskRunner> runner) {
  Streams& streams = GetStreams();
  std::lock_guard<std::mutex> hold(streams.lock);
  streams.runner.swap(runner);
}

void ClearEventSinks() {
  Streams& streams = GetStreams();
  Sink open_connect;
  Sink xray;
  {
    std::lock_guard<std::mutex> hold(streams.lock);
    open_connect = std::move(streams.open_connect);
    xray = std::move(streams.xray);
  }
}

}  // namespace vpn
