#ifndef QUORVANTA_BASE_SCOPED_WIN32_H_
#define QUORVANTA_BASE_SCOPED_WIN32_H_

#include <windows.h>

#include "base/scoped_generic.h"

namespace base {

// Win32 has two "no handle" values: processes, threads, pipes and mutexes use null; handles from
// CreateFile or toolhelp use INVALID_HANDLE_VALUE. Neither is ever closed.
struct HandleTraits {
  using Value = HANDLE;
  static Value None() { return nullptr; }
  static bool IsValid(Value handle) { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }
  static void Free(Value handle) { CloseHandle(handle); }
};
struct FileHandleTraits : HandleTraits {
  static Value None() { return INVALID_HANDLE_VALUE; }
};
using ScopedHandle = ScopedGeneric<HandleTraits>;
using ScopedFileHandle = ScopedGeneric<FileHandleTraits>;

// A module reference taken with LoadLibrary.
struct LibraryTraits : NullMeansNoneTraits<HMODULE> {
  static void Free(Value module) { FreeLibrary(module); }
};
using ScopedLibrary = ScopedGeneric<LibraryTraits>;

// Memory the system allocated with LocalAlloc on our behalf.
template <typename Pointer>
struct LocalMemoryTraits : NullMeansNoneTraits<Pointer> {
  static void Free(Pointer memory) { LocalFree(memory); }
};
template <typename Pointer>
using ScopedLocalMemory = ScopedGeneric<LocalMemoryTraits<Pointer>>;

// A window this program created; it must be released on the thread that created it.
struct WindowTraits : NullMeansNoneTraits<HWND> {
  static void Free(Value window) { DestroyWindow(window); }
};
using ScopedWindow = ScopedGeneric<WindowTraits>;

}  // namespace base

#endif  // QUORVANTA_BASE_SCOPED_WIN32_H_
