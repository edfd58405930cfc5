#ifndef QUORVANTA_CHANNELS_EVENT_CHANNEL_H_
#define QUORVANTA_CHANNELS_EVENT_CHANNEL_H_

#include <cstdint>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "base/log.h"
#include "channels/binary_messenger.h"
#include "channels/encodable_value.h"
#include "channels/event_sink.h"
#include "channels/event_stream_handler.h"
#include "channels/method_call.h"
#include "channels/method_codec.h"

namespace flutter {

// Streams events to a listener on the UI side. The UI starts and stops the stream with "listen"
// and "cancel" calls on the channel; each event travels as one envelope on the same name. A
// light value: the registration it makes keeps copies of everything it needs.
template <typename T = EncodableValue>
class EventChannel {
 public:
  // Sends each event as one message on its channel. It takes no lock and does not check whether
  // anyone still listens; its owner keeps the messenger alive while it sends, from any thread.
  class EventSinkImplementation : public EventSink<T> {
   public:
    EventSinkImplementation(const BinaryMessenger* messenger, const std::string& name,
                            const MethodCodec<T>* codec)
        : messenger_(messenger), name_(name), codec_(codec) {}

    void Success(const T* event) override { Send(codec_->EncodeSuccessEnvelope(event)); }

    void Error(const std::string& error_code, const std::string& error_message,
               const T* error_details) override {
      Send(codec_->EncodeErrorEnvelope(error_code, error_message, error_details));
    }

    // An empty message ends the stream on the UI side.
    void EndOfStream() override { messenger_->Send(name_, nullptr, 0); }

   private:
    void Send(std::unique_ptr<std::vector<uint8_t>> envelope) {
      messenger_->Send(name_, envelope->data(), envelope->size());
    }

    const BinaryMessenger* messenger_;
    std::string name_;
    const MethodCodec<T>* codec_;
  };

  // Neither `messenger` nor `codec` is owned; both must outlive the registration and every sink.
  EventChannel(BinaryMessenger* messenger, const std::string& name, const MethodCodec<T>* codec)
      : messenger_(messenger), name_(name), codec_(codec) {}

  // Installs `handler` on the channel, not listening, replacing any earlier registration and its
  // state; an empty handler removes the registration. Platform thread only.
  void SetStreamHandler(std::unique_ptr<StreamHandler<T>> handler) const {
    if (!handler) {
      messenger_->SetMessageHandler(name_, nullptr);
      return;
    }
    // Shared only because a ChannelMessageHandler must be copyable; one copy is ever used.
    std::shared_ptr<StreamHandler<T>> shared_handler = std::move(handler);
    messenger_->SetMessageHandler(
        name_, [handler = std::move(shared_handler), codec = codec_, name = name_,
                messenger = messenger_, listening = false](
                   const uint8_t* message, size_t message_size, ChannelReply reply) mutable {
          std::unique_ptr<MethodCall<T>> call = codec->DecodeMethodCall(message, message_size);
          if (call == nullptr) {
            logging::Err("Unable to construct method call from message on channel: " + name);
            reply(nullptr, 0);
            return;
          }
          std::unique_ptr<std::vector<uint8_t>> answer;
          const std::string& method = call->MethodName();
          if (method == "listen") {
            if (listening) {
              ReportFailedCancel(handler->OnCancel(nullptr));
            }
            // Stays set even when the listen below fails, so a later "cancel" reaches the handler.
            listening = true;
            std::unique_ptr<EventSink<T>> sink =
                std::make_unique<EventSinkImplementation>(messenger, name, codec);
            answer = Answer(*codec, handler->OnListen(call->Arguments(), std::move(sink)));
          } else if (method == "cancel") {
            if (listening) {
              answer = Answer(*codec, handler->OnCancel(call->Arguments()));
              listening = false;
            } else {
              answer = codec->EncodeErrorEnvelope("error", "No active stream to cancel", nullptr);
            }
          } else {
            reply(nullptr, 0);
            return;
          }
          reply(answer->data(), answer->size());
        });
  }

 private:
  // The error envelope of `error`, or a success envelope with a null result when there is none.
  static std::unique_ptr<std::vector<uint8_t>> Answer(
      const MethodCodec<T>& codec, const std::unique_ptr<StreamHandlerError<T>>& error) {
    if (error == nullptr) {
      return codec.EncodeSuccessEnvelope(nullptr);
    }
    return codec.EncodeErrorEnvelope(error->code, error->message, error->details.get());
  }

  // Written without a line end: whatever is written next continues the line.
  static void ReportFailedCancel(const std::unique_ptr<StreamHandlerError<T>>& error) {
    if (error == nullptr) {
      return;
    }
    std::ostringstream text;
    text << "Failed to cancel existing stream: " << error->code << ", " << error->message << ", "
         << static_cast<const void*>(error->details.get());
    logging::Write(logging::Stream::kErr, text.str());
  }

  BinaryMessenger* messenger_;
  std::string name_;
  const MethodCodec<T>* codec_;
};

}  // namespace flutter

#endif  // QUORVANTA_CHANNELS_EVENT_CHANNEL_H_
