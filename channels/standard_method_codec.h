#ifndef QUORVANTA_CHANNELS_STANDARD_METHOD_CODEC_H_
#define QUORVANTA_CHANNELS_STANDARD_METHOD_CODEC_H_

#include "channels/method_codec.h"
#include "channels/standard_codec_serializer.h"

namespace flutter {

// Flutter's standard method codec on top of a StandardCodecSerializer.
class StandardMethodCodec : public MethodCodec<EncodableValue> {
 public:
  // The one codec of `serializer` (of the shared serializer when null), created on first use and
  // kept for the life of the process.
  static const StandardMethodCodec& GetInstance(
      const StandardCodecSerializer* serializer = nullptr);

 protected:
  std::unique_ptr<MethodCall<EncodableValue>> DecodeMethodCallInternal(
      const uint8_t* message, size_t message_size) const override;
  std::unique_ptr<std::vector<uint8_t>> EncodeMethodCallInternal(
      const MethodCall<EncodableValue>& method_call) const override;
  std::unique_ptr<std::vector<uint8_t>> EncodeSuccessEnvelopeInternal(
      const EncodableValue* result) const override;
  std::unique_ptr<std::vector<uint8_t>> EncodeErrorEnvelopeInternal(
      const std::string& error_code, const std::string& error_message,
      const EncodableValue* error_details) const override;
  bool DecodeResponseEnvelopeInternal(const uint8_t* response, size_t response_size,
                                      MethodResult<EncodableValue>* result) const override;

 private:
  explicit StandardMethodCodec(const StandardCodecSerializer* serializer)
      : serializer_(serializer) {}

  const StandardCodecSerializer* serializer_;
};

}  // namespace flutter

#endif  // QUORVANTA_CHANNELS_STANDARD_METHOD_CODEC_H_
