#ifndef QUORVANTA_SHELL_WIDE_TO_UTF8_H_
#define QUORVANTA_SHELL_WIDE_TO_UTF8_H_

#include <string>

// Converts a null-terminated UTF-16 text to UTF-8. Invalid UTF-16 (an unpaired surrogate) is
// replaced by U+FFFD rather than refused. A null text gives the empty string.
std::string WideToUtf8(const wchar_t* text);

// Converts a null-terminated UTF-16 text to UTF-8, refusing invalid UTF-16: an unpaired surrogate,
// a null text or a failed conversion gives the empty string.
std::string WideToUtf8Strict(const wchar_t* text);

#endif  // QUORVANTA_SHELL_WIDE_TO_UTF8_H_
