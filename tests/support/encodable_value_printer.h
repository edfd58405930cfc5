#ifndef QUORVANTA_TESTS_SUPPORT_ENCODABLE_VALUE_PRINTER_H_
#define QUORVANTA_TESTS_SUPPORT_ENCODABLE_VALUE_PRINTER_H_

#include <cstdint>
#include <ostream>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include "channels/encodable_value.h"

// Lets GoogleTest show an EncodableValue readably in failure messages (found through ADL).
namespace flutter {

// Each value is shown with its alternative index, so that int32 1 and int64 1 read differently:
// <2>1, <3>1, <5>"text", <10>[<1>true, <0>null].
inline void PrintTo(const EncodableValue& value, std::ostream* out) {
  *out << "<" << value.index() << ">";
  auto elements = [out](char open, const auto& range, char close, auto print_element) {
    *out << open;
    const char* separator = "";
    for (const auto& element : range) {
      *out << std::exchange(separator, ", ");
      print_element(element);
    }
    *out << close;
  };
  auto print = [&](const auto& held) {
    using Held = std::decay_t<decltype(held)>;
    if constexpr (std::is_same_v<Held, std::monostate>) {
      *out << "null";
    } else if constexpr (std::is_same_v<Held, bool>) {
      *out << (held ? "true" : "false");
    } else if constexpr (std::is_same_v<Held, std::string>) {
      *out << '"' << held << '"';
    } else if constexpr (std::is_same_v<Held, CustomEncodableValue>) {
      *out << "custom " << held.type().name();
    } else if constexpr (std::is_same_v<Held, EncodableMap>) {
      elements('{', held, '}', [out](const auto& entry) {
        PrintTo(entry.first, out);
        *out << ": ";
        PrintTo(entry.second, out);
      });
    } else if constexpr (std::is_same_v<Held, EncodableList>) {
      elements('[', held, ']', [out](const EncodableValue& element) { PrintTo(element, out); });
    } else if constexpr (std::is_arithmetic_v<Held>) {
      *out << held;
    } else {  // typed lists; unary + shows bytes as numbers
      elements('[', held, ']', [out](auto element) { *out << +element; });
    }
  };
  std::visit(print, static_cast<const internal::EncodableValueVariant&>(value));
}

}  // namespace flutter

#endif  // QUORVANTA_TESTS_SUPPORT_ENCODABLE_VALUE_PRINTER_H_
