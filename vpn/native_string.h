#ifndef QUORVANTA_VPN_NATIVE_STRING_H_
#define QUORVANTA_VPN_NATIVE_STRING_H_

#include <string>
#include <string_view>

namespace vpn {

// The text type of the platform's paths and command lines: UTF-16 on Windows, bytes (UTF-8 by
// convention) on POSIX.
#if defined(_WIN32)
using NativeString = std::wstring;
#else
using NativeString = std::string;
#endif

// For log lines: paths are always logged as UTF-8.
std::string NativeToUtf8(const NativeString& text);

// UTF-8 to the native text. Ill-formed bytes become U+FFFD on Windows; on POSIX the bytes pass
// unchanged. The text ends at its first zero byte, as a C string would.
NativeString NativeFromUtf8(std::string_view text);

}  // namespace vpn

#endif  // QUORVANTA_VPN_NATIVE_STRING_H_
