#ifndef QUORVANTA_STAND_INS_EMBEDDER_GDI_WIN32_H_
#define QUORVANTA_STAND_INS_EMBEDDER_GDI_WIN32_H_

#include <windows.h>

#include <utility>

namespace stand_in {

// Owns a GDI object (bitmap, font, brush): DeleteObject at the end.
class GdiObject {
 public:
  GdiObject() = default;
  explicit GdiObject(HGDIOBJ object) : object_(object) {}
  GdiObject(GdiObject&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
  GdiObject& operator=(GdiObject&& other) noexcept {
    if (this != &other) Reset(std::exchange(other.object_, nullptr));
    return *this;
  }
  GdiObject(const GdiObject&) = delete;
  GdiObject& operator=(const GdiObject&) = delete;
  ~GdiObject() { Reset(nullptr); }

  HGDIOBJ get() const { return object_; }
  void Reset(HGDIOBJ object) {
    if (object_ != nullptr) DeleteObject(object_);
    object_ = object;
  }

 private:
  HGDIOBJ object_ = nullptr;
};

// A memory device context: DeleteDC at the end.
class MemoryDc {
 public:
  explicit MemoryDc(HDC compatible_with) : dc_(CreateCompatibleDC(compatible_with)) {}
  MemoryDc(const MemoryDc&) = delete;
  MemoryDc& operator=(const MemoryDc&) = delete;
  ~MemoryDc() {
    if (dc_ != nullptr) DeleteDC(dc_);
  }
  HDC get() const { return dc_; }

 private:
  HDC dc_;
};

// The device context of a whole window, frame included: ReleaseDC at the end.
class WindowDc {
 public:
  explicit WindowDc(HWND window) : window_(window), dc_(GetWindowDC(window)) {}
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  ~WindowDc() {
    if (dc_ != nullptr) ReleaseDC(window_, dc_);
  }
  HDC get() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

// Selects an object into a device context for one scope, then puts the previous one back.
class Selection {
 public:
  Selection(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
  Selection(const Selection&) = delete;
  Selection& operator=(const Selection&) = delete;
  ~Selection() {
    if (previous_ != nullptr && previous_ != HGDI_ERROR) SelectObject(dc_, previous_);
  }

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

}  // namespace stand_in

#endif  // QUORVANTA_STAND_INS_EMBEDDER_GDI_WIN32_H_
