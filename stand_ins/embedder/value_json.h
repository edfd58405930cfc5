#ifndef QUORVANTA_STAND_INS_EMBEDDER_VALUE_JSON_H_
#define QUORVANTA_STAND_INS_EMBEDDER_VALUE_JSON_H_

#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "channels/encodable_value.h"

namespace stand_in {

// Script values to channel values: an integer becomes an int32 when it fits and an int64
// otherwise, a fraction a double, an array a list, an object a map with string keys.
flutter::EncodableValue ValueFromJson(const nlohmann::json& json);

// Channel values to transcript values. Numbers of every width become JSON numbers and typed
// lists arrays; a map becomes an object when all its keys are strings, else an array of
// [key, value] pairs. A custom value has no form and becomes null.
nlohmann::json JsonFromValue(const flutter::EncodableValue& value);

// One-line JSON text; bytes that are not UTF-8 are replaced rather than refused.
std::string JsonText(const nlohmann::json& json);

// Lower-case hexadecimal digits of `bytes`, no separators.
std::string HexText(const std::vector<uint8_t>& bytes);

}  // namespace stand_in

#endif  // QUORVANTA_STAND_INS_EMBEDDER_VALUE_JSON_H_
