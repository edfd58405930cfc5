#ifndef QUORVANTA_VPN_EVENT_STREAMS_H_
#define QUORVANTA_VPN_EVENT_STREAMS_H_

#include <cstdint>
#include <memory>

#include "channels/encodable_value.h"
#include "channels/event_sink.h"
#include "channels/event_stream_handler.h"
#include "vpn/platform_task_runner.h"

namespace vpn {

// The two event channels: "openconnect_events" and "v2ray_events".
enum class EventStream { kOpenConnect, kXray };

// The int32 codes of "openconnect_events".
enum class OpenConnectEvent : int32_t { Connecting = 4, Connected = 5, Disconnected = 6 };

// The int32 codes of "v2ray_events".
enum class XrayEvent : int32_t {
  Starting = 3,
  ProxyOn = 8,
  ProxyOff = 9,
  Stopped = 41,
  Started = 61
};

// Each stream keeps the sink of its latest listener, or none. The listen and cancel functions run
// on the platform thread; they never fail.
std::unique_ptr<flutter::StreamHandlerError<>> OnListen(
    EventStream stream, const flutter::EncodableValue* arguments,
    std::unique_ptr<flutter::EventSink<>>&& events);
std::unique_ptr<flutter::StreamHandlerError<>> OnCancel(EventStream stream,
                                                        const flutter::EncodableValue* arguments);

// Sends `code` to the stream's listener. Any thread: the event is handed to the platform task
// runner and sent from the platform thread, in posting order. It is dropped when the stream has no
// listener, when no runner is set or the runner refuses, and when the listener is gone by the time
// the platform thread gets to it.
void PostEvent(EventStream stream, int32_t code);
void PostEvent(OpenConnectEvent event);
void PostEvent(XrayEvent event);

// Whether the stream has a listener now. Any thread.
bool HasListener(EventStream stream);

// Where events are sent from. Null means there is no platform thread any more: events are
// dropped, never sent.
void SetPlatformTaskRunner(std::shared_ptr<PlatformTaskRunner> runner);

// Destroys both streams' sinks; for the shell's teardown, before the messenger goes.
void ClearEventSinks();

}  // namespace vpn

#endif  // QUORVANTA_VPN_EVENT_STREAMS_H_
