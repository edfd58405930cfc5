#ifndef QUORVANTA_CHANNELS_BINARY_MESSENGER_IMPL_H_
#define QUORVANTA_CHANNELS_BINARY_MESSENGER_IMPL_H_

#include <map>
#include <string>

#include "channels/binary_messenger.h"
#include "shell/embedder/embedder_api.h"

namespace flutter {

// The BinaryMessenger over the embedder's messaging functions. One per engine.
//
// Destroying it unregisters nothing: the embedder must already have been shut down, so that no
// message can arrive for a handler that is gone. Replies to incoming messages do not refer to
// this object, so they may still be called after it is destroyed.
class BinaryMessengerImpl : public BinaryMessenger {
 public:
  // `messenger` is not owned; the engine behind it must outlive every registration.
  explicit BinaryMessengerImpl(FlutterDesktopMessengerRef messenger);
  ~BinaryMessengerImpl() override;

  BinaryMessengerImpl(const BinaryMessengerImpl&) = delete;
  BinaryMessengerImpl& operator=(const BinaryMessengerImpl&) = delete;

  void Send(const std::string& channel, const uint8_t* message, size_t message_size,
            ChannelReply reply = nullptr) const override;
  void SetMessageHandler(const std::string& channel, ChannelMessageHandler handler) override;

 private:
  FlutterDesktopMessengerRef messenger_;
  // Node-based: the embedder holds the address of each stored handler as its callback's user
  // data, so an entry must not move while other channels come and go.
  std::map<std::string, ChannelMessageHandler> handlers_;
};

}  // namespace flutter

#endif  // QUORVANTA_CHANNELS_BINARY_MESSENGER_IMPL_H_
