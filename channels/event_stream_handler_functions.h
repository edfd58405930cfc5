#ifndef QUORVANTA_CHANNELS_EVENT_STREAM_HANDLER_FUNCTIONS_H_
#define QUORVANTA_CHANNELS_EVENT_STREAM_HANDLER_FUNCTIONS_H_

#include <functional>
#include <memory>
#include <utility>

#include "channels/event_stream_handler.h"

namespace flutter {

template <typename T = EncodableValue>
using ListenHandler = std::function<std::unique_ptr<StreamHandlerError<T>>(
    const T* arguments, std::unique_ptr<EventSink<T>>&& events)>;

template <typename T = EncodableValue>
using CancelHandler = std::function<std::unique_ptr<StreamHandlerError<T>>(const T* arguments)>;

// A StreamHandler made of two functions; a missing function answers with an error.
template <typename T = EncodableValue>
class StreamHandlerFunctions : public StreamHandler<T> {
 public:
  StreamHandlerFunctions(ListenHandler<T> on_listen, CancelHandler<T> on_cancel)
      : on_listen_(std::move(on_listen)), on_cancel_(std::move(on_cancel)) {}

  std::unique_ptr<StreamHandlerError<T>> OnListen(const T* arguments,
                                                  std::unique_ptr<EventSink<T>>&& events) override {
    if (!on_listen_) {
      return MissingHandler("No OnListen handler set");
    }
    return on_listen_(arguments, std::move(events));
  }

  std::unique_ptr<StreamHandlerError<T>> OnCancel(const T* arguments) override {
    if (!on_cancel_) {
      return MissingHandler("No OnCancel handler set");
    }
    return on_cancel_(arguments);
  }

 private:
  static std::unique_ptr<StreamHandlerError<T>> MissingHandler(const char* message) {
    return std::make_unique<StreamHandlerError<T>>(
        StreamHandlerError<T>{"error", message, nullptr});
  }

  ListenHandler<T> on_listen_;
  CancelHandler<T> on_cancel_;
};

}  // namespace flutter

#endif  // QUORVANTA_CHANNELS_EVENT_STREAM_HANDLER_FUNCTIONS_H_
