#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "base/utf_conversion.h"

namespace {

using namespace std::string_literals;
using namespace std::string_view_literals;

// "a", an unpaired high surrogate, "b".
constexpr wchar_t kUnpairedHigh[] = {L'a', 0xD800, L'b', 0};
// An unpaired low surrogate at the end.
constexpr wchar_t kUnpairedLow[] = {L'a', 0xDC00, 0};
// U+1F512 (a lock) as its surrogate pair, then U+00E9.
constexpr wchar_t kPairAndAccent[] = {0xD83D, 0xDD12, 0x00E9, 0};
constexpr char kPairAndAccentUtf8[] = "\xF0\x9F\x94\x92\xC3\xA9";

TEST(WideToUtf8Test, LenientReplacesUnpairedSurrogatesAndStrictRefusesThem) {
  struct Row {
    const wchar_t* text;
    const char* lenient;
    const char* strict;
  };
  const Row rows[] = {
      {L"C:\\Program Files\\Quorvanta", "C:\\Program Files\\Quorvanta",
       "C:\\Program Files\\Quorvanta"},
      {kPairAndAccent, kPairAndAccentUtf8, kPairAndAccentUtf8},
      {nullptr, "", ""},
      {kUnpairedHigh,
       "a\xEF\xBF\xBD"
       "b",
       ""},
      {kUnpairedLow, "a\xEF\xBF\xBD", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.lenient);
    EXPECT_EQ(base::WideToUtf8(row.text), row.lenient);
    EXPECT_EQ(base::WideToUtf8Strict(row.text), row.strict);
  }
}

// A view is converted whole, a pointer up to its terminator; bad input is replaced either way.
TEST(UtfConversionTest, ViewsKeepTheirZerosAndPointersEndAtTheTerminator) {
  EXPECT_EQ(base::WideToUtf8(L"a\0b"sv), "a\0b"s);
  EXPECT_EQ(base::WideToUtf8(std::wstring_view(kUnpairedHigh)),
            "a\xEF\xBF\xBD"
            "b");

  EXPECT_EQ(base::Utf8ToWide("a\0b"sv), L"a\0b"s);
  EXPECT_EQ(base::Utf8ToWide("a\0b"), L"a");
  EXPECT_EQ(base::Utf8ToWide(kPairAndAccentUtf8), kPairAndAccent);
  // A stray continuation byte.
  EXPECT_EQ(base::Utf8ToWide("a\x80"
                             "b"sv),
            L"a\xFFFD"
            L"b");
  EXPECT_EQ(base::Utf8ToWide(static_cast<const char*>(nullptr)), L"");
}

}  // namespace
