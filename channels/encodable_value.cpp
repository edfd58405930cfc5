#include "channels/encodable_value.h"

#include <algorithm>
#include <functional>

namespace flutter {
namespace {

template <typename Sequence>
bool SequenceLess(const Sequence& a, const Sequence& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end());
}

bool MapLess(const EncodableMap& a, const EncodableMap& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                      [](const auto& left, const auto& right) {
                                        if (left.first < right.first) return true;
                                        if (right.first < left.first) return false;
                                        return left.second < right.second;
                                      });
}

}  // namespace

bool operator<(const EncodableValue& a, const EncodableValue& b) {
  if (a.index() != b.index()) {
    return a.index() < b.index();
  }
  switch (a.index()) {
    case 0:
      return false;
    case 1:
      return std::get<bool>(a) < std::get<bool>(b);
    case 2:
      return std::get<int32_t>(a) < std::get<int32_t>(b);
    case 3:
      return std::get<int64_t>(a) < std::get<int64_t>(b);
    case 4:
      return std::get<double>(a) < std::get<double>(b);
    case 5:
      // char_traits<char> compares as unsigned char.
      return std::get<std::string>(a).compare(std::get<std::string>(b)) < 0;
    case 6:
      return SequenceLess(std::get<std::vector<uint8_t>>(a), std::get<std::vector<uint8_t>>(b));
    case 7:
      return SequenceLess(std::get<std::vector<int32_t>>(a), std::get<std::vector<int32_t>>(b));
    case 8:
      return SequenceLess(std::get<std::vector<int64_t>>(a), std::get<std::vector<int64_t>>(b));
    case 9:
      return SequenceLess(std::get<std::vector<double>>(a), std::get<std::vector<double>>(b));
    case 10:
      return SequenceLess(std::get<EncodableList>(a), std::get<EncodableList>(b));
    case 11:
      return MapLess(std::get<EncodableMap>(a), std::get<EncodableMap>(b));
    case 12:
      return std::less<const CustomEncodableValue*>()(&std::get<CustomEncodableValue>(a),
                                                      &std::get<CustomEncodableValue>(b));
    case 13:
      return SequenceLess(std::get<std::vector<float>>(a), std::get<std::vector<float>>(b));
  }
  return false;
}

bool operator==(const EncodableValue& a, const EncodableValue& b) {
  if (a.index() != b.index()) {
    return false;
  }
  switch (a.index()) {
    case 0:
      return true;
    case 1:
      return std::get<bool>(a) == std::get<bool>(b);
    case 2:
      return std::get<int32_t>(a) == std::get<int32_t>(b);
    case 3:
      return std::get<int64_t>(a) == std::get<int64_t>(b);
    case 4:
      return std::get<double>(a) == std::get<double>(b);
    case 5:
      return std::get<std::string>(a) == std::get<std::string>(b);
    case 6:
      return std::get<std::vector<uint8_t>>(a) == std::get<std::vector<uint8_t>>(b);
    case 7:
      return std::get<std::vector<int32_t>>(a) == std::get<std::vector<int32_t>>(b);
    case 8:
      return std::get<std::vector<int64_t>>(a) == std::get<std::vector<int64_t>>(b);
    case 9:
      return std::get<std::vector<double>>(a) == std::get<std::vector<double>>(b);
    case 10: {
      const auto& left = std::get<EncodableList>(a);
      const auto& right = std::get<EncodableList>(b);
      return std::equal(left.begin(), left.end(), right.begin(), right.end());
    }
    case 11: {
      const auto& left = std::get<EncodableMap>(a);
      const auto& right = std::get<EncodableMap>(b);
      return std::equal(
          left.begin(), left.end(), right.begin(), right.end(),
          [](const auto& x, const auto& y) { return x.first == y.first && x.second == y.second; });
    }
    case 12:
      return &std::get<CustomEncodableValue>(a) == &std::get<CustomEncodableValue>(b);
    case 13:
      return std::get<std::vector<float>>(a) == std::get<std::vector<float>>(b);
  }
  return false;
}

std::partial_ordering operator<=>(const EncodableValue& a, const EncodableValue& b) {
  if (a < b) return std::partial_ordering::less;
  if (b < a) return std::partial_ordering::greater;
  return std::partial_ordering::equivalent;
}

}  // namespace flutter
