#include "channels/standard_method_codec.h"

#include <map>
#include <mutex>

#include "base/log.h"
#include "channels/byte_buffer_streams.h"

namespace flutter {
namespace {

constexpr uint8_t kSuccessFlag = 0;
constexpr uint8_t kErrorFlag = 1;

// Room for the calls and answers of this program, so that their vector is allocated once rather
// than for the flag byte and again for the value.
constexpr size_t kUsualMessageSize = 64;

std::unique_ptr<std::vector<uint8_t>> NewMessage() {
  auto message = std::make_unique<std::vector<uint8_t>>();
  message->reserve(kUsualMessageSize);
  return message;
}

}  // namespace

const StandardMethodCodec& StandardMethodCodec::GetInstance(
    const StandardCodecSerializer* serializer) {
  if (serializer == nullptr) {
    serializer = &StandardCodecSerializer::GetInstance();
  }
  // Never destroyed: channels hold plain pointers to these codecs until the process ends.
  static auto* registry =
      new std::map<const StandardCodecSerializer*, std::unique_ptr<StandardMethodCodec>>();
  static auto* registry_lock = new std::mutex();
  std::lock_guard<std::mutex> hold(*registry_lock);
  std::unique_ptr<StandardMethodCodec>& codec = (*registry)[serializer];
  if (codec == nullptr) {
    codec.reset(new StandardMethodCodec(serializer));
  }
  return *codec;
}

std::unique_ptr<MethodCall<EncodableValue>> StandardMethodCodec::DecodeMethodCallInternal(
    const uint8_t* message, size_t message_size) const {
  ByteBufferStreamReader stream(message, message_size);
  EncodableValue name = serializer_->ReadValue(&stream);
  const auto* method_name = std::get_if<std::string>(&name);
  if (method_name == nullptr) {
    logging::Err("Invalid method call; method name is not a string.");
    return nullptr;
  }
  auto arguments = std::make_unique<EncodableValue>(serializer_->ReadValue(&stream));
  return std::make_unique<MethodCall<EncodableValue>>(*method_name, std::move(arguments));
}

std::unique_ptr<std::vector<uint8_t>> StandardMethodCodec::EncodeMethodCallInternal(
    const MethodCall<EncodableValue>& method_call) const {
  std::unique_ptr<std::vector<uint8_t>> encoded = NewMessage();
  ByteBufferStreamWriter stream(encoded.get());
  serializer_->WriteValue(EncodableValue(method_call.MethodName()), &stream);
  if (method_call.Arguments() != nullptr) {
    serializer_->WriteValue(*method_call.Arguments(), &stream);
  } else {
    serializer_->WriteValue(EncodableValue(), &stream);
  }
  return encoded;
}

std::unique_ptr<std::vector<uint8_t>> StandardMethodCodec::EncodeSuccessEnvelopeInternal(
    const EncodableValue* result) const {
  std::unique_ptr<std::vector<uint8_t>> encoded = NewMessage();
  ByteBufferStreamWriter stream(encoded.get());
  stream.WriteByte(kSuccessFlag);
  if (result != nullptr) {
    serializer_->WriteValue(*result, &stream);
  } else {
    serializer_->WriteValue(EncodableValue(), &stream);
  }
  return encoded;
}

std::unique_ptr<std::vector<uint8_t>> StandardMethodCodec::EncodeErrorEnvelopeInternal(
    const std::string& error_code, const std::string& error_message,
    const EncodableValue* error_details) const {
  std::unique_ptr<std::vector<uint8_t>> encoded = NewMessage();
  ByteBufferStreamWriter stream(encoded.get());
  stream.WriteByte(kErrorFlag);
  serializer_->WriteValue(EncodableValue(error_code), &stream);
  if (error_message.empty()) {
    serializer_->WriteValue(EncodableValue(), &stream);
  } else {
    serializer_->WriteValue(EncodableValue(error_message), &stream);
  }
  if (error_details != nullptr) {
    serializer_->WriteValue(*error_details, &stream);
  } else {
    serializer_->WriteValue(EncodableValue(), &stream);
  }
  return encoded;
}

bool StandardMethodCodec::DecodeResponseEnvelopeInternal(
    const uint8_t* response, size_t response_size, MethodResult<EncodableValue>* result) const {
  ByteBufferStreamReader stream(response, response_size);
  uint8_t flag = stream.ReadByte();
  if (flag == kSuccessFlag) {
    EncodableValue value = serializer_->ReadValue(&stream);
    result->Success(value.IsNull() ? nullptr : &value);
    return true;
  }
  if (flag != kErrorFlag) {
    return false;
  }
  EncodableValue code = serializer_->ReadValue(&stream);
  EncodableValue message = serializer_->ReadValue(&stream);
  EncodableValue details = serializer_->ReadValue(&stream);
  // An error whose code is not a string, or whose message is neither null nor a string, is no
  // envelope this codec can report.
  const auto* code_text = std::get_if<std::string>(&code);
  const auto* message_text = std::get_if<std::string>(&message);
  if (code_text == nullptr || (message_text == nullptr && !message.IsNull())) {
    return false;
  }
  result->Error(*code_text, message_text != nullptr ? *message_text : std::string(),
                details.IsNull() ? nullptr : &details);
  return true;
}

}  // namespace flutter
