#include "channels/engine_method_result.h"

#include "base/log.h"

namespace flutter {

ReplyHolder::ReplyHolder(ChannelReply reply) : reply_(std::move(reply)) {}

ReplyHolder::~ReplyHolder() {
  if (reply_) {
    logging::Err("Warning: Failed to respond to a message. This is a memory leak.");
  }
}

void ReplyHolder::Deliver(const std::vector<uint8_t>* buffer) {
  if (!reply_) {
    logging::Write(logging::Stream::kErr,
                   "Error: Only one of Success, Error, or NotImplemented can be called,");
    logging::WriteLine(logging::Stream::kErr,
                       " and it can be called exactly once. Ignoring duplicate result.");
    return;
  }
  const uint8_t* data = buffer != nullptr && !buffer->empty() ? buffer->data() : nullptr;
  const size_t size = buffer != nullptr ? buffer->size() : 0;
  // Marked answered before the call, so that nothing the reply does can answer twice.
  ChannelReply reply = std::exchange(reply_, nullptr);
  reply(data, size);
}

}  // namespace flutter
