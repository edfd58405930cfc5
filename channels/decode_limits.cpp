#include "channels/decode_limits.h"

#include <algorithm>

namespace flutter::internal {
namespace {

struct DecodeState {
  int nesting = 0;
  size_t reservable_elements = 0;
};
thread_local DecodeState decode_state;

}  // namespace

NestingScope::NestingScope(size_t remaining) {
  if (decode_state.nesting == 0) {
    decode_state.reservable_elements = remaining;
  }
  ++decode_state.nesting;
}

NestingScope::~NestingScope() { --decode_state.nesting; }

bool NestingScope::TooDeep(int max_nesting) { return decode_state.nesting >= max_nesting; }

size_t NestingScope::ClaimReservation(size_t count, size_t remaining) {
  size_t claimed = std::min({count, remaining, decode_state.reservable_elements});
  decode_state.reservable_elements -= claimed;
  return claimed;
}

}  // namespace flutter::internal
