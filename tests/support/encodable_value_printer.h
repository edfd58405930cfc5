#ifndef QUORVANTA_TESTS_SUPPORT_ENCODABLE_VALUE_PRINTER_H_
#define QUORVANTA_TESTS_SUPPORT_ENCODABLE_VALUE_PRINTER_H_

#include <cstdint>
#include <ostream>
#include <string>
#include <type_traits>
#include <vector>

#include "channels/encodable_value.h"

// Lets GoogleTest show an EncodableValue readably in failure messages (found through ADL).
namespace flutter {

inline void PrintTo(const EncodableValue& value, std::ostream* out);

namespace printer_internal {

template <typename Element>
void PrintSequence(const char* tag, const std::vector<Element>& elements, std::ostream* out) {
  *out << tag << "[";
  for (size_t i = 0; i < elements.size(); ++i) {
    *out << (i > 0 ? ", " : "");
    if constexpr (std::is_same_v<Element, EncodableValue>) {
      PrintTo(elements[i], out);
    } else if constexpr (sizeof(Element) == 1) {
      *out << static_cast<int>(elements[i]);
    } else {
      *out << elements[i];
    }
  }
  *out << "]";
}

}  // namespace printer_internal

inline void PrintTo(const EncodableValue& value, std::ostream* out) {
  using printer_internal::PrintSequence;
  switch (value.index()) {
    case 0:
      *out << "null";
      return;
    case 1:
      *out << (std::get<bool>(value) ? "true" : "false");
      return;
    case 2:
      *out << "int32 " << std::get<int32_t>(value);
      return;
    case 3:
      *out << "int64 " << std::get<int64_t>(value);
      return;
    case 4:
      *out << "double " << std::get<double>(value);
      return;
    case 5:
      *out << '"' << std::get<std::string>(value) << '"';
      return;
    case 6:
      PrintSequence("bytes", std::get<std::vector<uint8_t>>(value), out);
      return;
    case 7:
      PrintSequence("int32s", std::get<std::vector<int32_t>>(value), out);
      return;
    case 8:
      PrintSequence("int64s", std::get<std::vector<int64_t>>(value), out);
      return;
    case 9:
      PrintSequence("doubles", std::get<std::vector<double>>(value), out);
      return;
    case 10:
      PrintSequence("", std::get<EncodableList>(value), out);
      return;
    case 11: {
      *out << "{";
      const char* separator = "";
      for (const auto& [key, entry] : std::get<EncodableMap>(value)) {
        *out << separator;
        PrintTo(key, out);
        *out << ": ";
        PrintTo(entry, out);
        separator = ", ";
      }
      *out << "}";
      return;
    }
    case 12:
      *out << "custom " << std::get<CustomEncodableValue>(value).type().name();
      return;
    case 13:
      PrintSequence("floats", std::get<std::vector<float>>(value), out);
      return;
  }
}

}  // namespace flutter

#endif  // QUORVANTA_TESTS_SUPPORT_ENCODABLE_VALUE_PRINTER_H_
