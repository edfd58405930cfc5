#ifndef QUORVANTA_CHANNELS_DECODE_LIMITS_H_
#define QUORVANTA_CHANNELS_DECODE_LIMITS_H_

#include <cstddef>

namespace flutter::internal {

// The lists and maps being decoded on this thread: how deeply they nest, and how many list
// elements may still be reserved before they are read. Every element of every list in a message
// starts with its own type byte, so the bytes that remain when the outermost list or map begins
// bound the sum of all its lists' counts; a message that claims more gets its lists grown as
// their elements actually arrive, and never more memory reserved than its size allows.
class NestingScope {
 public:
  // `remaining` is what is left of the message as the list or map begins.
  explicit NestingScope(size_t remaining);
  ~NestingScope();
  NestingScope(const NestingScope&) = delete;
  NestingScope& operator=(const NestingScope&) = delete;

  // Whether a list or map that begins now would nest too deeply to be decoded.
  static bool TooDeep(int max_nesting);

  // How many elements a list that declares `count` may reserve now.
  size_t ClaimReservation(size_t count, size_t remaining);
};

}  // namespace flutter::internal

#endif  // QUORVANTA_CHANNELS_DECODE_LIMITS_H_
