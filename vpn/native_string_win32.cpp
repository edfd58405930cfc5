#include "vpn/native_string.h"

#include <string>

#include "base/utf_conversion.h"

namespace vpn {

std::string NativeToUtf8(const NativeString& text) { return base::WideToUtf8(text); }

NativeString NativeFromUtf8(std::string_view text) {
  // Converted as a C string: the result ends where the text has its first zero byte.
  const std::string terminated(text.substr(0, text.find('\0')));
  return base::Utf8ToWide(terminated.c_str());
}

}  // namespace vpn
