#include "stand_ins/embedder/value_json.h"

#include <limits>
#include <type_traits>
#include <variant>

namespace stand_in {

using flutter::EncodableList;
using flutter::EncodableMap;
using flutter::EncodableValue;
using nlohmann::json;

EncodableValue ValueFromJson(const json& value) {
  switch (value.type()) {
    case json::value_t::boolean:
      return EncodableValue(value.get<bool>());
    case json::value_t::number_integer:
    case json::value_t::number_unsigned: {
      if (value.is_number_unsigned() &&
          value.get<uint64_t>() > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) {
        return EncodableValue(static_cast<double>(value.get<uint64_t>()));
      }
      const int64_t number = value.get<int64_t>();
      if (number >= std::numeric_limits<int32_t>::min() &&
          number <= std::numeric_limits<int32_t>::max()) {
        return EncodableValue(static_cast<int32_t>(number));
      }
      return EncodableValue(number);
    }
    case json::value_t::number_float:
      return EncodableValue(value.get<double>());
    case json::value_t::string:
      return EncodableValue(value.get<std::string>());
    case json::value_t::array: {
      EncodableList list;
      list.reserve(value.size());
      for (const json& element : value) {
        list.push_back(ValueFromJson(element));
      }
      return EncodableValue(std::move(list));
    }
    case json::value_t::object: {
      EncodableMap map;
      for (const auto& [key, element] : value.items()) {
        map.emplace(EncodableValue(key), ValueFromJson(element));
      }
      return EncodableValue(std::move(map));
    }
    default:
      return EncodableValue();
  }
}

json JsonFromValue(const EncodableValue& value) {
  return std::visit(
      [](const auto& held) -> json {
        using Held = std::decay_t<decltype(held)>;
        if constexpr (std::is_same_v<Held, std::monostate> ||
                      std::is_same_v<Held, flutter::CustomEncodableValue>) {
          return nullptr;
        } else if constexpr (std::is_same_v<Held, EncodableList>) {
          json array = json::array();
          for (const EncodableValue& element : held) {
            array.push_back(JsonFromValue(element));
          }
          return array;
        } else if constexpr (std::is_same_v<Held, EncodableMap>) {
          bool string_keys = true;
          for (const auto& entry : held) {
            string_keys = string_keys && std::holds_alternative<std::string>(entry.first);
          }
          json result = string_keys ? json::object() : json::array();
          for (const auto& [key, element] : held) {
            if (string_keys) {
              result[std::get<std::string>(key)] = JsonFromValue(element);
            } else {
              result.push_back(json::array({JsonFromValue(key), JsonFromValue(element)}));
            }
          }
          return result;
        } else {
          return json(held);
        }
      },
      static_cast<const flutter::internal::EncodableValueVariant&>(value));
}

std::string JsonText(const json& value) {
  return value.dump(-1, ' ', false, json::error_handler_t::replace);
}

std::string HexText(const std::vector<uint8_t>& bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  text.reserve(bytes.size() * 2);
  for (uint8_t byte : bytes) {
    text.push_back(kDigits[byte >> 4]);
    text.push_back(kDigits[byte & 0x0F]);
  }
  return text;
}

}  // namespace stand_in
