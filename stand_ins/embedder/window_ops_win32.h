#ifndef QUORVANTA_STAND_INS_EMBEDDER_WINDOW_OPS_WIN32_H_
#define QUORVANTA_STAND_INS_EMBEDDER_WINDOW_OPS_WIN32_H_

#include <windows.h>

#include <string>

#include "stand_ins/embedder/png_encoder.h"
#include "stand_ins/embedder/window_request.h"

namespace stand_in {

WindowState ReadWindowState(HWND window);

// The window as it is shown, frame included, after a repaint. Fails for a hidden or minimized
// window, whose pixels are not on the screen.
[[nodiscard]] bool CaptureWindow(HWND window, BgrImage* image, std::string* error);

}  // namespace stand_in

#endif  // QUORVANTA_STAND_INS_EMBEDDER_WINDOW_OPS_WIN32_H_
