#include "stand_ins/embedder/png_writer.h"

#include <algorithm>
#include <array>

namespace stand_in {
namespace {

constexpr size_t kMaxStoredBlock = 65535;

const std::array<uint32_t, 256>& CrcTable() {
  static const std::array<uint32_t, 256> table = [] {
    std::array<uint32_t, 256> entries{};
    for (uint32_t n = 0; n < 256; ++n) {
      uint32_t c = n;
      for (int k = 0; k < 8; ++k) {
        c = (c & 1) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      }
      entries[n] = c;
    }
    return entries;
  }();
  return table;
}

void AppendBigEndian(std::vector<uint8_t>* out, uint32_t value) {
  out->push_back(static_cast<uint8_t>(value >> 24));
  out->push_back(static_cast<uint8_t>(value >> 16));
  out->push_back(static_cast<uint8_t>(value >> 8));
  out->push_back(static_cast<uint8_t>(value));
}

void AppendChunk(std::vector<uint8_t>* out, const char (&type)[5],
                 const std::vector<uint8_t>& data) {
  AppendBigEndian(out, static_cast<uint32_t>(data.size()));
  const size_t checked_from = out->size();
  out->insert(out->end(), type, type + 4);
  out->insert(out->end(), data.begin(), data.end());
  AppendBigEndian(out, Crc32(out->data() + checked_from, out->size() - checked_from));
}

// A zlib stream of stored deflate blocks.
std::vector<uint8_t> StoredZlib(const std::vector<uint8_t>& raw) {
  std::vector<uint8_t> out = {0x78, 0x01};
  size_t offset = 0;
  do {
    const size_t length = std::min(kMaxStoredBlock, raw.size() - offset);
    const bool last = offset + length == raw.size();
    out.push_back(last ? 1 : 0);
    out.push_back(static_cast<uint8_t>(length));
    out.push_back(static_cast<uint8_t>(length >> 8));
    out.push_back(static_cast<uint8_t>(~length));
    out.push_back(static_cast<uint8_t>(~length >> 8));
    out.insert(out.end(), raw.begin() + static_cast<std::ptrdiff_t>(offset),
               raw.begin() + static_cast<std::ptrdiff_t>(offset + length));
    offset += length;
  } while (offset < raw.size());
  AppendBigEndian(&out, Adler32(raw.data(), raw.size()));
  return out;
}

}  // namespace

uint32_t Crc32(const uint8_t* bytes, size_t size) {
  uint32_t c = 0xFFFFFFFFu;
  for (size_t i = 0; i < size; ++i) {
    c = CrcTable()[(c ^ bytes[i]) & 0xFF] ^ (c >> 8);
  }
  return c ^ 0xFFFFFFFFu;
}

uint32_t Adler32(const uint8_t* bytes, size_t size) {
  uint32_t a = 1;
  uint32_t b = 0;
  for (size_t i = 0; i < size; ++i) {
    a = (a + bytes[i]) % 65521;
    b = (b + a) % 65521;
  }
  return (b << 16) | a;
}

std::vector<uint8_t> EncodePng(const RgbImage& image) {
  const uint64_t row_bytes = uint64_t{image.width} * 3;
  if (image.width == 0 || image.height == 0 || image.pixels.size() != row_bytes * image.height) {
    return {};
  }
  std::vector<uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

  std::vector<uint8_t> header;
  AppendBigEndian(&header, image.width);
  AppendBigEndian(&header, image.height);
  header.insert(header.end(), {8, 2, 0, 0, 0});  // 8-bit RGB, deflate, no filter, no interlace
  AppendChunk(&out, "IHDR", header);

  // Every row starts with its filter type, 0 (none).
  std::vector<uint8_t> raw;
  raw.reserve(static_cast<size_t>((row_bytes + 1) * image.height));
  for (uint32_t y = 0; y < image.height; ++y) {
    raw.push_back(0);
    const auto row = image.pixels.begin() + static_cast<std::ptrdiff_t>(row_bytes * y);
    raw.insert(raw.end(), row, row + static_cast<std::ptrdiff_t>(row_bytes));
  }
  AppendChunk(&out, "IDAT", StoredZlib(raw));
  AppendChunk(&out, "IEND", {});
  return out;
}

}  // namespace stand_in
