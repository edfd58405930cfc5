#ifndef QUORVANTA_CHANNELS_EVENT_STREAM_HANDLER_H_
#define QUORVANTA_CHANNELS_EVENT_STREAM_HANDLER_H_

#include <memory>
#include <string>

#include "channels/encodable_value.h"
#include "channels/event_sink.h"

namespace flutter {

template <typename T = EncodableValue>
struct StreamHandlerError {
  std::string code;
  std::string message;
  std::unique_ptr<T> details;
};

// The native side of an event stream: told when the UI starts and stops listening. Both calls
// come on the platform thread, where the embedder delivers the channel's messages, one at a time.
template <typename T = EncodableValue>
class StreamHandler {
 public:
  StreamHandler() = default;
  virtual ~StreamHandler() = default;

  StreamHandler(const StreamHandler&) = delete;
  StreamHandler& operator=(const StreamHandler&) = delete;

  // `events` is handed over: the callee may take it, otherwise it is destroyed on return.
  // Returns null on success.
  virtual std::unique_ptr<StreamHandlerError<T>> OnListen(
      const T* arguments, std::unique_ptr<EventSink<T>>&& events) = 0;
  virtual std::unique_ptr<StreamHandlerError<T>> OnCancel(const T* arguments) = 0;
};

}  // namespace flutter

#endif  // QUORVANTA_CHANNELS_EVENT_STREAM_HANDLER_H_
