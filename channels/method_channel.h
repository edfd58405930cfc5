#ifndef QUORVANTA_CHANNELS_METHOD_CHANNEL_H_
#define QUORVANTA_CHANNELS_METHOD_CHANNEL_H_

#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "base/log.h"
#include "channels/binary_messenger.h"
#include "channels/encodable_value.h"
#include "channels/engine_method_result.h"
#include "channels/method_call.h"
#include "channels/method_codec.h"
#include "channels/method_result.h"

namespace flutter {

// Handles one decoded call. The result is the handler's to answer once, at once or later from
// elsewhere.
template <typename T = EncodableValue>
using MethodCallHandler =
    std::function<void(const MethodCall<T>& call, std::unique_ptr<MethodResult<T>> result)>;

// Binds a channel name to a handler of method calls. A light value: the registration it makes
// keeps copies of everything it needs, so the channel object may go at once.
template <typename T = EncodableValue>
class MethodChannel {
 public:
  // Neither `messenger` nor `codec` is owned; both must outlive the registration.
  MethodChannel(BinaryMessenger* messenger, const std::string& name, const MethodCodec<T>* codec)
      : messenger_(messenger), name_(name), codec_(codec) {}

  // Installs `handler` on the channel, replacing any earlier one; an empty handler removes the
  // registration. Platform thread only.
  void SetMethodCallHandler(MethodCallHandler<T> handler) const {
    if (!handler) {
      messenger_->SetMessageHandler(name_, nullptr);
      return;
    }
    messenger_->SetMessageHandler(
        name_, [handler = std::move(handler), codec = codec_, name = name_](
                   const uint8_t* message, size_t message_size, ChannelReply reply) {
          // Made before decoding, so that every outcome answers through the same once-only path.
          auto result = std::make_unique<EngineMethodResult<T>>(std::move(reply), codec);
          std::unique_ptr<MethodCall<T>> call = codec->DecodeMethodCall(message, message_size);
          if (call == nullptr) {
            logging::Err("Unable to construct method call from message on channel " + name);
            result->NotImplemented();
            return;
          }
          handler(*call, std::move(result));
        });
  }

 private:
  BinaryMessenger* messenger_;
  std::string name_;
  const MethodCodec<T>* codec_;
};

}  // namespace flutter

#endif  // QUORVANTA_CHANNELS_METHOD_CHANNEL_H_
