#include "vpn/native_string.h"

namespace vpn {

std::string NativeToUtf8(const NativeString& text) { return text; }

NativeString NativeFromUtf8(std::string_view text) {
  return NativeString(text.substr(0, text.find('\0')));
}

}  // namespace vpn
