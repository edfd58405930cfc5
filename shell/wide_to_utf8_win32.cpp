#include "shell/wide_to_utf8.h"

#include <windows.h>

namespace {

// Converts with `flags`; the text's terminator is converted too and then dropped, so the length
// the system reports includes it.
std::string Convert(const wchar_t* text, DWORD flags) {
  if (text == nullptr) {
    return std::string();
  }
  const int length_with_terminator =
      WideCharToMultiByte(CP_UTF8, flags, text, -1, nullptr, 0, nullptr, nullptr);
  if (length_with_terminator <= 1) {
    return std::string();
  }
  std::string utf8(static_cast<size_t>(length_with_terminator), '\0');
  const int converted = WideCharToMultiByte(CP_UTF8, flags, text, -1, utf8.data(),
                                            length_with_terminator, nullptr, nullptr);
  if (converted != length_with_terminator) {
    return std::string();
  }
  utf8.pop_back();
  return utf8;
}

}  // namespace

std::string WideToUtf8(const wchar_t* text) { return Convert(text, 0); }

std::string WideToUtf8Strict(const wchar_t* text) { return Convert(text, WC_ERR_INVALID_CHARS); }
