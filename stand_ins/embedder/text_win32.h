#ifndef QUORVANTA_STAND_INS_EMBEDDER_TEXT_WIN32_H_
#define QUORVANTA_STAND_INS_EMBEDDER_TEXT_WIN32_H_

#include <string>
#include <string_view>

namespace stand_in {

// Invalid input is replaced rather than refused: these texts are only shown or used as paths.
std::wstring Utf8ToWide(std::string_view text);
std::string WideToUtf8(std::wstring_view text);

}  // namespace stand_in

#endif  // QUORVANTA_STAND_INS_EMBEDDER_TEXT_WIN32_H_
