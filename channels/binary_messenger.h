#ifndef QUORVANTA_CHANNELS_BINARY_MESSENGER_H_
#define QUORVANTA_CHANNELS_BINARY_MESSENGER_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace flutter {

// Answers one message with (bytes, count). Empty means no answer is wanted; (null, 0) is a valid
// answer that carries no data.
using ChannelReply = std::function<void(const uint8_t* reply, size_t reply_size)>;

// Handles the raw messages of one channel. Each message comes with the reply that answers it
// exactly once; a handler may keep the reply and answer later, from any thread.
using ChannelMessageHandler =
    std::function<void(const uint8_t* message, size_t message_size, ChannelReply reply)>;

// Raw byte messages on named channels.
class BinaryMessenger {
 public:
  virtual ~BinaryMessenger() = default;

  // Sends `message` on `channel`. When `reply` is set it is called once with the UI side's
  // answer, unless the message is refused, in which case it is never called. May be called from
  // any thread.
  virtual void Send(const std::string& channel, const uint8_t* message, size_t message_size,
                    ChannelReply reply = nullptr) const = 0;

  // Makes `handler` the one handler of `channel`, replacing any earlier one; an empty handler
  // removes the channel's registration. Platform thread only.
  virtual void SetMessageHandler(const std::string& channel, ChannelMessageHandler handler) = 0;
};

}  // namespace flutter

#endif  // QUORVANTA_CHANNELS_BINARY_MESSENGER_H_
