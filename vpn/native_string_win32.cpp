
#include <windows.h>

#include "vpn/native_string.h"

namespace vpn {

std::string NativeToUtf8(const NativeString& text) {
  if (text.empty()) {
    return {};
  }
  const int units = static_cast<int>(text.size());
  const int size =
      WideCharToMultiByte(CP_UTF8, 0, text.data(), units, nullptr, 0, nullptr, nullptr);
  std::string utf8(size > 0 ? static_cast<size_t>(size) : 0, '\0');
  if (size > 0) {
    WideCharToMultiByte(CP_UTF8, 0, text.data(), units, utf8.data(), size, nullptr, nullptr);
  }
  return utf8;
}

NativeString NativeFromUtf8(std::string_view text) {
  // Converted as a C string, with its terminating zero: the result ends where the text has its
  // first zero byte.
  const std::string terminated(text.substr(0, text.find('\0')));
  const int size = MultiByteToWideChar(CP_UTF8, 0, terminated.c_str(), -1, nullptr, 0);
  if (size <= 1) {
    return {};
  }
  std::wstring wide(static_cast<size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, terminated.c_str(), -1, wide.data(), size);
  wide.resize(static_cast<size_t>(size) - 1);
  return wide;
}

}  // namespace vpn
