#ifndef QUORVANTA_TESTS_STAND_INS_PNG_READER_H_
#define QUORVANTA_TESTS_STAND_INS_PNG_READER_H_

#include <cstdint>
#include <vector>

namespace testing_support {

// The RGB pixels (rows top to bottom) of a PNG file, as the system's own imaging component decodes
// it; nothing when it cannot.
std::vector<uint8_t> ReadPng(const std::vector<uint8_t>& file, uint32_t* width, uint32_t* height);

}  // namespace testing_support

#endif  // QUORVANTA_TESTS_STAND_INS_PNG_READER_H_
