#include "stand_ins/embedder/window_ops_win32.h"

#include <algorithm>

#include "stand_ins/embedder/gdi_win32.h"

namespace stand_in {

WindowState ReadWindowState(HWND window) {
  WindowState state;
  state.visible = IsWindowVisible(window) != FALSE;
  state.foreground = GetForegroundWindow() == window;
  state.minimized = IsIconic(window) != FALSE;
  RECT rect{};
  if (GetWindowRect(window, &rect)) {
    state.x = rect.left;
    state.y = rect.top;
    state.width = rect.right - rect.left;
    state.height = rect.bottom - rect.top;
  }
  return state;
}

bool CaptureWindow(HWND window, BgrImage* image, std::string* error) {
  if (!IsWindowVisible(window) || IsIconic(window)) {
    *error = "the window is not shown";
    return false;
  }
  RECT rect{};
  if (!GetWindowRect(window, &rect) || rect.right <= rect.left || rect.bottom <= rect.top) {
    *error = "the window has no size";
    return false;
  }
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  // Paint now what is still only invalidated, the view included.
  RedrawWindow(window, nullptr, nullptr,
               RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);

  const WindowDc source = GetWholeWindowDc(window);
  const HDC source_dc = source.Get().dc;
  const MemoryDc memory(CreateCompatibleDC(source_dc));
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // rows top to bottom
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  const GdiObject bitmap(CreateDIBSection(source_dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!source.IsValid() || !memory.IsValid() || !bitmap.IsValid() || bits == nullptr) {
    *error = "no drawing surface";
    return false;
  }
  {
    const Selection selected = SelectForScope(memory.Get(), bitmap.Get());
    if (!BitBlt(memory.Get(), 0, 0, width, height, source_dc, 0, 0, SRCCOPY)) {
      *error = "the window's pixels cannot be read";
      return false;
    }
  }
  GdiFlush();

  image->width = static_cast<uint32_t>(width);
  image->height = static_cast<uint32_t>(height);
  image->pixels.resize(static_cast<size_t>(width) * height * 3);
  const auto* pixel = static_cast<const uint8_t*>(bits);  // blue, green, red, unused
  uint8_t* out = image->pixels.data();
  for (size_t i = 0; i < static_cast<size_t>(width) * height; ++i, pixel += 4, out += 3) {
    std::copy(pixel, pixel + 3, out);
  }
  return true;
}

}  // namespace stand_in
