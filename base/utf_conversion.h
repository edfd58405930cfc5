#ifndef QUORVANTA_BASE_UTF_CONVERSION_H_
#define QUORVANTA_BASE_UTF_CONVERSION_H_

#include <string>
#include <string_view>

// Conversions between Windows' UTF-16 and UTF-8. The name says what becomes of bad input: the
// plain functions replace it (an unpaired surrogate or an ill-formed byte sequence becomes
// U+FFFD), the strict one refuses the whole text. A pointer is read up to its terminator and may
// be null, which gives the empty text; a view is converted whole, zeros included. Windows only;
// any thread.
namespace base {

std::string WideToUtf8(const wchar_t* text);
std::string WideToUtf8(std::wstring_view text);

// An unpaired surrogate, a null text or a failed conversion gives the empty string.
std::string WideToUtf8Strict(const wchar_t* text);

std::wstring Utf8ToWide(const char* text);
std::wstring Utf8ToWide(std::string_view text);

}  // namespace base

#endif  // QUORVANTA_BASE_UTF_CONVERSION_H_
