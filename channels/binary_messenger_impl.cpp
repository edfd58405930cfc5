#include "channels/binary_messenger_impl.h"

#include <memory>
#include <utility>

#include "base/log.h"

namespace flutter {
namespace {

// One embedder reference to the messenger, taken per incoming message and dropped when the last
// reply to that message goes, so that a late reply never touches a messenger the embedder has
// freed.
using SharedMessenger = std::shared_ptr<FlutterDesktopMessenger>;

SharedMessenger ShareMessenger(FlutterDesktopMessengerRef messenger) {
  return SharedMessenger(FlutterDesktopMessengerAddRef(messenger), &FlutterDesktopMessengerRelease);
}

// The reply to one incoming message. A cleared response handle marks the message as answered.
class ResponseReply {
 public:
  ResponseReply(SharedMessenger messenger,
                const FlutterDesktopMessageResponseHandle* response_handle)
      : messenger_(std::move(messenger)), response_handle_(response_handle) {}

  void operator()(const uint8_t* data, size_t data_size) {
    // The lock keeps the engine from shutting down between the availability test and the
    // response.
    FlutterDesktopMessengerRef lock = FlutterDesktopMessengerLock(messenger_.get());
    if (FlutterDesktopMessengerIsAvailable(messenger_.get())) {
      if (response_handle_ == nullptr) {
        logging::Err("Error: Response can be set only once. Ignoring duplicate response.");
      } else {
        FlutterDesktopMessengerSendResponse(messenger_.get(), response_handle_, data, data_size);
        // The embedder frees the handle once the response is out.
        response_handle_ = nullptr;
      }
    }
    if (lock != nullptr) {
      FlutterDesktopMessengerUnlock(lock);
    }
  }

 private:
  SharedMessenger messenger_;
  const FlutterDesktopMessageResponseHandle* response_handle_;
};

// The one callback registered for every channel; `user_data` is the stored handler.
void RouteIncomingMessage(FlutterDesktopMessengerRef messenger,
                          const FlutterDesktopMessage* message, void* user_data) {
  const auto& handler = *static_cast<const ChannelMessageHandler*>(user_data);
  handler(message->message, message->message_size,
          ResponseReply(ShareMessenger(messenger), message->response_handle));
}

// Called once by the embedder for every accepted send with a reply; `user_data` is the pending
// send record, which is freed here.
void RouteReplyToSender(const uint8_t* reply, size_t reply_size, void* user_data) {
  std::unique_ptr<ChannelReply> pending(static_cast<ChannelReply*>(user_data));
  (*pending)(reply, reply_size);
}

}  // namespace

BinaryMessengerImpl::BinaryMessengerImpl(FlutterDesktopMessengerRef messenger)
    : messenger_(messenger) {}

BinaryMessengerImpl::~BinaryMessengerImpl() = default;

void BinaryMessengerImpl::Send(const std::string& channel, const uint8_t* message,
                               size_t message_size, ChannelReply reply) const {
  if (!reply) {
    FlutterDesktopMessengerSend(messenger_, channel.c_str(), message, message_size);
    return;
  }
  auto pending = std::make_unique<ChannelReply>(std::move(reply));
  if (FlutterDesktopMessengerSendWithReply(messenger_, channel.c_str(), message, message_size,
                                           &RouteReplyToSender, pending.get())) {
    // Accepted: the embedder hands the record back to RouteReplyToSender, which frees it.
    static_cast<void>(pending.release());
  }
}

void BinaryMessengerImpl::SetMessageHandler(const std::string& channel,
                                            ChannelMessageHandler handler) {
  if (!handler) {
    handlers_.erase(channel);
    FlutterDesktopMessengerSetCallback(messenger_, channel.c_str(), nullptr, nullptr);
    return;
  }
  ChannelMessageHandler& stored = handlers_[channel];
  stored = std::move(handler);
  FlutterDesktopMessengerSetCallback(messenger_, channel.c_str(), &RouteIncomingMessage, &stored);
}

}  // namespace flutter
