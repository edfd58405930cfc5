#ifndef QUORVANTA_CHANNELS_ENGINE_METHOD_RESULT_H_
#define QUORVANTA_CHANNELS_ENGINE_METHOD_RESULT_H_

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "channels/binary_messenger.h"
#include "channels/encodable_value.h"
#include "channels/method_codec.h"
#include "channels/method_result.h"

namespace flutter {

// Holds the reply to one incoming message and lets it be used once. It has no lock: one result
// must not be answered from two threads at the same time.
class ReplyHolder {
 public:
  explicit ReplyHolder(ChannelReply reply);
  // Warns when the message was never answered; sends nothing in its place.
  ~ReplyHolder();

  ReplyHolder(const ReplyHolder&) = delete;
  ReplyHolder& operator=(const ReplyHolder&) = delete;

  // Answers with the bytes of `buffer`, or with no data when it is null or empty. A second
  // delivery only writes an error line.
  void Deliver(const std::vector<uint8_t>* buffer);

 private:
  ChannelReply reply_;
};

// The MethodResult handed to method-call handlers: each answer is encoded with the channel's
// codec and sent through the message's reply, once.
template <typename T = EncodableValue>
class EngineMethodResult : public MethodResult<T> {
 public:
  // `codec` is not owned and must outlive the result.
  EngineMethodResult(ChannelReply reply, const MethodCodec<T>* codec)
      : reply_holder_(std::move(reply)), codec_(codec) {}

  void Success(const T* result) override {
    std::unique_ptr<std::vector<uint8_t>> envelope = codec_->EncodeSuccessEnvelope(result);
    reply_holder_.Deliver(envelope.get());
  }

  void Error(const std::string& error_code, const std::string& error_message,
             const T* error_details) override {
    std::unique_ptr<std::vector<uint8_t>> envelope =
        codec_->EncodeErrorEnvelope(error_code, error_message, error_details);
    reply_holder_.Deliver(envelope.get());
  }

  // Answers with no data at all, which the UI side reads as "not implemented".
  void NotImplemented() override { reply_holder_.Deliver(nullptr); }

 private:
  // Held in place: one allocation per answered message fewer.
  ReplyHolder reply_holder_;
  const MethodCodec<T>* codec_;
};

}  // namespace flutter

#endif  // QUORVANTA_CHANNELS_ENGINE_METHOD_RESULT_H_
