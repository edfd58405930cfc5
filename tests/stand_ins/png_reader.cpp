#include "tests/stand_ins/png_reader.h"

#include <cstring>

#include "stand_ins/embedder/png_writer.h"

namespace testing_support {
namespace {

uint32_t BigEndian(const uint8_t* bytes) {
  return (uint32_t{bytes[0]} << 24) | (uint32_t{bytes[1]} << 16) | (uint32_t{bytes[2]} << 8) |
         bytes[3];
}

bool Inflate(const std::vector<uint8_t>& zlib, std::vector<uint8_t>* raw, std::string* error) {
  if (zlib.size() < 6 || zlib[0] != 0x78 || (zlib[0] * 256 + zlib[1]) % 31 != 0) {
    *error = "bad zlib header";
    return false;
  }
  size_t at = 2;
  bool last = false;
  while (!last) {
    if (at + 5 > zlib.size()) {
      *error = "truncated block header";
      return false;
    }
    last = (zlib[at] & 1) != 0;
    if ((zlib[at] >> 1) != 0) {
      *error = "not a stored block";
      return false;
    }
    const size_t length = zlib[at + 1] | (zlib[at + 2] << 8);
    const size_t complement = zlib[at + 3] | (zlib[at + 4] << 8);
    if ((length ^ 0xFFFF) != complement || at + 5 + length > zlib.size()) {
      *error = "bad stored block length";
      return false;
    }
    raw->insert(raw->end(), zlib.begin() + at + 5, zlib.begin() + at + 5 + length);
    at += 5 + length;
  }
  if (at + 4 != zlib.size() ||
      BigEndian(&zlib[at]) != stand_in::Adler32(raw->data(), raw->size())) {
    *error = "bad zlib checksum";
    return false;
  }
  return true;
}

}  // namespace

bool ReadStoredPng(const std::vector<uint8_t>& file, DecodedPng* image, std::string* error) {
  static const uint8_t kSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (file.size() < 8 || std::memcmp(file.data(), kSignature, 8) != 0) {
    *error = "no PNG signature";
    return false;
  }
  std::vector<uint8_t> zlib;
  bool header_seen = false;
  bool end_seen = false;
  size_t at = 8;
  while (at + 12 <= file.size() && !end_seen) {
    const uint32_t length = BigEndian(&file[at]);
    if (at + 12 + length > file.size()) break;
    const std::string type(file.begin() + at + 4, file.begin() + at + 8);
    const uint8_t* data = &file[at + 8];
    if (BigEndian(data + length) != stand_in::Crc32(&file[at + 4], length + 4)) {
      *error = "bad CRC in " + type;
      return false;
    }
    if (type == "IHDR") {
      if (length != 13 || data[8] != 8 || data[9] != 2 || data[10] != 0 || data[11] != 0 ||
          data[12] != 0) {
        *error = "not an 8-bit RGB image without interlace";
        return false;
      }
      image->width = BigEndian(data);
      image->height = BigEndian(data + 4);
      header_seen = true;
    } else if (type == "IDAT") {
      zlib.insert(zlib.end(), data, data + length);
    } else if (type == "IEND") {
      end_seen = true;
    }
    at += 12 + length;
  }
  if (!header_seen || !end_seen || at != file.size()) {
    *error = "missing or trailing chunks";
    return false;
  }
  std::vector<uint8_t> raw;
  if (!Inflate(zlib, &raw, error)) return false;
  const size_t row = size_t{image->width} * 3 + 1;
  if (raw.size() != row * image->height) {
    *error = "image data of the wrong size";
    return false;
  }
  image->pixels.clear();
  for (size_t y = 0; y < image->height; ++y) {
    if (raw[y * row] != 0) {
      *error = "filtered row";
      return false;
    }
    image->pixels.insert(image->pixels.end(), raw.begin() + y * row + 1,
                         raw.begin() + (y + 1) * row);
  }
  return true;
}

}  // namespace testing_support
