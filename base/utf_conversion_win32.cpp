#include <windows.h>

#include "base/utf_conversion.h"

namespace base {
namespace {

// `convert(buffer, size)` is the system's conversion of the whole text into `buffer`; with no
// buffer it returns the length needed. A `units` of -1 converts up to the terminator, which the
// system converts too and counts in that length; it is dropped from the result.
template <typename Text, typename Convert>
Text ConvertText(int units, const Convert& convert) {
  const int size = convert(nullptr, 0);
  const int terminator = units < 0 ? 1 : 0;
  if (size <= terminator) {
    return Text();
  }
  Text converted(static_cast<size_t>(size), typename Text::value_type());
  if (convert(converted.data(), size) != size) {
    return Text();
  }
  converted.resize(static_cast<size_t>(size - terminator));
  return converted;
}

std::string Narrow(const wchar_t* text, int units, DWORD flags) {
  return ConvertText<std::string>(units, [&](char* buffer, int size) {
    return WideCharToMultiByte(CP_UTF8, flags, text, units, buffer, size, nullptr, nullptr);
  });
}

std::wstring Widen(const char* text, int units) {
  return ConvertText<std::wstring>(units, [&](wchar_t* buffer, int size) {
    return MultiByteToWideChar(CP_UTF8, 0, text, units, buffer, size);
  });
}

}  // namespace

std::string WideToUtf8(const wchar_t* text) {
  return text == nullptr ? std::string() : Narrow(text, -1, 0);
}

std::string WideToUtf8(std::wstring_view text) {
  return text.empty() ? std::string() : Narrow(text.data(), static_cast<int>(text.size()), 0);
}

std::string WideToUtf8Strict(const wchar_t* text) {
  return text == nullptr ? std::string() : Narrow(text, -1, WC_ERR_INVALID_CHARS);
}

std::wstring Utf8ToWide(const char* text) {
  return text == nullptr ? std::wstring() : Widen(text, -1);
}

std::wstring Utf8ToWide(std::string_view text) {
  return text.empty() ? std::wstring() : Widen(text.data(), static_cast<int>(text.size()));
}

}  // namespace base
