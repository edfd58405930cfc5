#ifndef QUORVANTA_TESTS_STAND_INS_PNG_READER_H_
#define QUORVANTA_TESTS_STAND_INS_PNG_READER_H_

#include <cstdint>
#include <vector>

namespace testing_support {

// The RGB pixels (rows top to bottom) of an 8-bit RGB PNG whose image data is in stored deflate
// blocks with unfiltered rows, checking every chunk's CRC and the zlib checksum on the way;
// nothing for anything else.
std::vector<uint8_t> ReadStoredPng(const std::vector<uint8_t>& file, uint32_t* width,
                                   uint32_t* height);

}  // namespace testing_support

#endif  // QUORVANTA_TESTS_STAND_INS_PNG_READER_H_
