#include "tests/stand_ins/png_reader.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "stand_ins/embedder/png_writer.h"

namespace testing_support {
namespace {

uint32_t BigEndian(const uint8_t* bytes) {
  return (uint32_t{bytes[0]} << 24) | (uint32_t{bytes[1]} << 16) | (uint32_t{bytes[2]} << 8) |
         bytes[3];
}

}  // namespace

std::vector<uint8_t> ReadStoredPng(const std::vector<uint8_t>& file, uint32_t* width,
                                   uint32_t* height) {
  static const uint8_t kSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (file.size() < 8 || !std::equal(kSignature, kSignature + 8, file.begin())) return {};
  *width = *height = 0;
  std::vector<uint8_t> zlib;
  bool ended = false;
  size_t at = 8;
  while (!ended && at + 12 <= file.size()) {
    const uint32_t length = BigEndian(&file[at]);
    if (at + 12 + length > file.size() ||
        BigEndian(&file[at + 8 + length]) != stand_in::Crc32(&file[at + 4], length + 4)) {
      return {};
    }
    const std::string type(file.begin() + at + 4, file.begin() + at + 8);
    const uint8_t* data = &file[at + 8];
    if (type == "IHDR") {
      // 8-bit RGB, deflate, no filter method, no interlace.
      if (length != 13 || std::memcmp(data + 8, "\x08\x02\x00\x00\x00", 5) != 0) return {};
      *width = BigEndian(data);
      *height = BigEndian(data + 4);
    } else if (type == "IDAT") {
      zlib.insert(zlib.end(), data, data + length);
    }
    ended = type == "IEND";
    at += 12 + length;
  }
  if (!ended || at != file.size() || zlib.size() < 2 || zlib[0] != 0x78 ||
      (zlib[0] * 256 + zlib[1]) % 31 != 0) {
    return {};
  }
  std::vector<uint8_t> raw;
  for (at = 2;;) {
    if (at + 5 > zlib.size() || (zlib[at] >> 1) != 0) return {};  // stored blocks only
    const size_t length = zlib[at + 1] | (zlib[at + 2] << 8);
    if ((length ^ 0xFFFF) != size_t(zlib[at + 3] | (zlib[at + 4] << 8)) ||
        at + 5 + length > zlib.size()) {
      return {};
    }
    raw.insert(raw.end(), zlib.begin() + at + 5, zlib.begin() + at + 5 + length);
    const bool last = (zlib[at] & 1) != 0;
    at += 5 + length;
    if (last) break;
  }
  const size_t row = size_t{*width} * 3 + 1;
  if (at + 4 != zlib.size() || BigEndian(&zlib[at]) != stand_in::Adler32(raw.data(), raw.size()) ||
      raw.size() != row * *height) {
    return {};
  }
  std::vector<uint8_t> pixels;
  for (size_t y = 0; y < *height; ++y) {
    if (raw[y * row] != 0) return {};  // a filtered row
    pixels.insert(pixels.end(), raw.begin() + y * row + 1, raw.begin() + (y + 1) * row);
  }
  return pixels;
}

}  // namespace testing_support
