#ifndef QUORVANTA_STAND_INS_EMBEDDER_PNG_WRITER_H_
#define QUORVANTA_STAND_INS_EMBEDDER_PNG_WRITER_H_

#include <cstdint>
#include <vector>

namespace stand_in {

// An 8-bit RGB image, rows top to bottom, three bytes a pixel.
struct RgbImage {
  uint32_t width = 0;
  uint32_t height = 0;
  std::vector<uint8_t> pixels;
};

// The PNG file of `image`. The image data is deflated in stored (uncompressed) blocks: screenshots
// are few and small, and this needs no compression library. Empty when the pixel count does not
// match the size.
std::vector<uint8_t> EncodePng(const RgbImage& image);

// Checksums of the format, exposed for their tests.
uint32_t Crc32(const uint8_t* bytes, size_t size);
uint32_t Adler32(const uint8_t* bytes, size_t size);

}  // namespace stand_in

#endif  // QUORVANTA_STAND_INS_EMBEDDER_PNG_WRITER_H_
