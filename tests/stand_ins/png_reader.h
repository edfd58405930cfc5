#ifndef QUORVANTA_TESTS_STAND_INS_PNG_READER_H_
#define QUORVANTA_TESTS_STAND_INS_PNG_READER_H_

#include <cstdint>
#include <string>
#include <vector>

namespace testing_support {

struct DecodedPng {
  uint32_t width = 0;
  uint32_t height = 0;
  std::vector<uint8_t> pixels;  // RGB, rows top to bottom
};

// Reads an 8-bit RGB PNG whose image data is in stored deflate blocks with unfiltered rows, and
// checks every chunk's CRC and the zlib checksum on the way. False, with the reason, for anything
// else.
bool ReadStoredPng(const std::vector<uint8_t>& file, DecodedPng* image, std::string* error);

}  // namespace testing_support

#endif  // QUORVANTA_TESTS_STAND_INS_PNG_READER_H_
