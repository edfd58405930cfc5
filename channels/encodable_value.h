#ifndef QUORVANTA_CHANNELS_ENCODABLE_VALUE_H_
#define QUORVANTA_CHANNELS_ENCODABLE_VALUE_H_

#include <any>
#include <compare>
#include <cstdint>
#include <map>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

namespace flutter {

class EncodableValue;

using EncodableList = std::vector<EncodableValue>;
// Kept sorted by EncodableValue's ordering, which is also the order the codec writes entries in.
using EncodableMap = std::map<EncodableValue, EncodableValue>;

// One object of any copyable type. The standard codec has no encoding for it.
class CustomEncodableValue {
 public:
  template <typename T>
  explicit CustomEncodableValue(const T& value) : value_(value) {}

  // Deliberately copy-only: moving the enclosing value copies the held object instead of leaving
  // an empty custom value behind.
  CustomEncodableValue(const CustomEncodableValue&) = default;
  CustomEncodableValue& operator=(const CustomEncodableValue&) = default;

  const std::any& value() const { return value_; }
  const std::type_info& type() const { return value_.type(); }

 private:
  std::any value_;
};

namespace internal {
// The alternative indexes are part of the wire format and of the ordering: do not reorder.
using EncodableValueVariant = std::variant<std::monostate,        // 0 null
                                           bool,                  // 1
                                           int32_t,               // 2
                                           int64_t,               // 3
                                           double,                // 4
                                           std::string,           // 5
                                           std::vector<uint8_t>,  // 6
                                           std::vector<int32_t>,  // 7
                                           std::vector<int64_t>,  // 8
                                           std::vector<double>,   // 9
                                           EncodableList,         // 10
                                           EncodableMap,          // 11
                                           CustomEncodableValue,  // 12
                                           std::vector<float>>;   // 13
}  // namespace internal

// The tagged value every channel carries. Typed access is std::get<T>(value); checked access is
// std::get_if<T>(&value), which gives null when another alternative is held.
class EncodableValue : public internal::EncodableValueVariant {
 public:
  using internal::EncodableValueVariant::EncodableValueVariant;
  using internal::EncodableValueVariant::operator=;

  EncodableValue() = default;
  // A text literal is a string, never a bool.
  EncodableValue(const char* text) : internal::EncodableValueVariant(std::string(text)) {}
  EncodableValue& operator=(const char* text) {
    *this = std::string(text);
    return *this;
  }

  // Moves are noexcept so that growing an EncodableList moves its elements instead of copying
  // them deeply. A held custom object is copied even on a move; should that copy run out of
  // memory the process ends, as it would for any other allocation failure here.
  EncodableValue(const EncodableValue&) = default;
  EncodableValue(EncodableValue&&) noexcept = default;
  EncodableValue& operator=(const EncodableValue&) = default;
  EncodableValue& operator=(EncodableValue&&) noexcept = default;

  bool IsNull() const { return std::holds_alternative<std::monostate>(*this); }

  // The ordering of map keys: by alternative index first, then by content (numbers
  // numerically, strings and byte lists byte-wise unsigned, sequences and maps
  // lexicographically, custom values by identity).
  friend bool operator<(const EncodableValue& a, const EncodableValue& b);
  friend bool operator==(const EncodableValue& a, const EncodableValue& b);
  // Declared so that the comparisons above are the ones chosen over std::variant's, whose
  // recursive constraints cannot be checked for a type that contains itself.
  friend std::partial_ordering operator<=>(const EncodableValue& a, const EncodableValue& b);
};

static_assert(std::is_nothrow_move_constructible_v<EncodableValue> &&
              std::is_nothrow_move_assignable_v<EncodableValue>);

}  // namespace flutter

#endif  // QUORVANTA_CHANNELS_ENCODABLE_VALUE_H_
