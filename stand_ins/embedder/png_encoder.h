#ifndef QUORVANTA_STAND_INS_EMBEDDER_PNG_ENCODER_H_
#define QUORVANTA_STAND_INS_EMBEDDER_PNG_ENCODER_H_

#include <cstdint>
#include <string>
#include <vector>

namespace stand_in {

// An 8-bit colour image, rows top to bottom, three bytes a pixel: blue, green, red, the order in
// which the screen's pixels are read and the PNG encoder takes them.
struct BgrImage {
  uint32_t width = 0;
  uint32_t height = 0;
  std::vector<uint8_t> pixels;
};

// The PNG file of `image`, encoded by the platform's imaging component on the calling thread. On
// failure (an image whose pixels do not match its size, or a step of the encoder that fails)
// `error` says which step.
[[nodiscard]] bool EncodePng(const BgrImage& image, std::vector<uint8_t>* png, std::string* error);

}  // namespace stand_in

#endif  // QUORVANTA_STAND_INS_EMBEDDER_PNG_ENCODER_H_
