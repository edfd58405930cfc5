#ifndef QUORVANTA_STAND_INS_EMBEDDER_WINDOW_REQUEST_H_
#define QUORVANTA_STAND_INS_EMBEDDER_WINDOW_REQUEST_H_

#include <cstdint>
#include <string>

#include "stand_ins/embedder/png_encoder.h"

namespace stand_in {

// What the UI side asks of the top-level window that holds the view. Window calls are made on
// the platform thread, which owns the window.
enum class WindowAction { kShow, kClose, kMinimize, kDestroy, kReport, kCapture };

struct WindowState {
  bool visible = false;
  bool foreground = false;
  bool minimized = false;
  int32_t x = 0;
  int32_t y = 0;
  int32_t width = 0;
  int32_t height = 0;
};

struct WindowResult {
  uint64_t request_id = 0;
  std::string error;  // empty on success
  WindowState state;  // kReport
  BgrImage image;     // kCapture
};

}  // namespace stand_in

#endif  // QUORVANTA_STAND_INS_EMBEDDER_WINDOW_REQUEST_H_
