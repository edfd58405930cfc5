#ifndef QUORVANTA_STAND_INS_EMBEDDER_GDI_WIN32_H_
#define QUORVANTA_STAND_INS_EMBEDDER_GDI_WIN32_H_

#include <windows.h>

#include "base/scoped_generic.h"

namespace stand_in {

// A GDI object (bitmap, font, brush): DeleteObject at the end.
struct GdiObjectTraits : base::NullMeansNoneTraits<HGDIOBJ> {
  static void Free(HGDIOBJ object) { DeleteObject(object); }
};
using GdiObject = base::ScopedGeneric<GdiObjectTraits>;

// A memory device context: DeleteDC at the end.
struct MemoryDcTraits : base::NullMeansNoneTraits<HDC> {
  static void Free(HDC dc) { DeleteDC(dc); }
};
using MemoryDc = base::ScopedGeneric<MemoryDcTraits>;

// The device context of a whole window, frame included: ReleaseDC at the end.
struct WindowDcTraits {
  struct Value {
    HWND window;
    HDC dc;
  };
  static Value None() { return {nullptr, nullptr}; }
  static bool IsValid(Value value) { return value.dc != nullptr; }
  static void Free(Value value) { ReleaseDC(value.window, value.dc); }
};
using WindowDc = base::ScopedGeneric<WindowDcTraits>;

inline WindowDc GetWholeWindowDc(HWND window) { return WindowDc({window, GetWindowDC(window)}); }

// An object selected into a device context: the one it replaced is put back at the end.
struct SelectionTraits {
  struct Value {
    HDC dc;
    HGDIOBJ previous;
  };
  static Value None() { return {nullptr, nullptr}; }
  static bool IsValid(Value value) {
    return value.previous != nullptr && value.previous != HGDI_ERROR;
  }
  static void Free(Value value) { SelectObject(value.dc, value.previous); }
};
using Selection = base::ScopedGeneric<SelectionTraits>;

inline Selection SelectForScope(HDC dc, HGDIOBJ object) {
  return Selection({dc, SelectObject(dc, object)});
}

}  // namespace stand_in

#endif  // QUORVANTA_STAND_INS_EMBEDDER_GDI_WIN32_H_
