#ifndef QUORVANTA_CHANNELS_EVENT_SINK_H_
#define QUORVANTA_CHANNELS_EVENT_SINK_H_

#include <string>

#include "channels/encodable_value.h"

namespace flutter {

// Where native code pushes the events of one stream. Any thread may call it: it takes no lock and
// sends at once through the messenger's Send, which any thread may call, so a caller keeps the sink
// alive for the whole call. This program calls its sinks on the platform thread only
// (vpn/event_streams.h hands each event there).
template <typename T = EncodableValue>
class EventSink {
 public:
  EventSink() = default;
  virtual ~EventSink() = default;

  EventSink(const EventSink&) = delete;
  EventSink& operator=(const EventSink&) = delete;

  // A null `event` sends a null event.
  virtual void Success(const T* event) = 0;
  virtual void Error(const std::string& error_code, const std::string& error_message,
                     const T* error_details) = 0;
  virtual void EndOfStream() = 0;
};

}  // namespace flutter

#endif  // QUORVANTA_CHANNELS_EVENT_SINK_H_
