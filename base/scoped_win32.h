#ifndef QUORVANTA_BASE_SCOPED_WIN32_H_
#define QUORVANTA_BASE_SCOPED_WIN32_H_

#include <windows.h>

namespace base {

// Move-only owner of one Windows resource, released exactly once when the owner is reset or goes
// out of scope. `Traits` says what the resource is, which value means "none", and how it is
// released.
template <typename Traits>
class ScopedWin32 {
 public:
  using Value = typename Traits::Value;

  ScopedWin32() = default;
  explicit ScopedWin32(Value value) : value_(value) {}
  ~ScopedWin32() { Reset(); }

  ScopedWin32(ScopedWin32&& other) noexcept : value_(other.Release()) {}
  ScopedWin32& operator=(ScopedWin32&& other) noexcept {
    if (this != &other) {
      Reset(other.Release());
    }
    return *this;
  }
  ScopedWin32(const ScopedWin32&) = delete;
  ScopedWin32& operator=(const ScopedWin32&) = delete;

  Value Get() const { return value_; }
  bool IsValid() const { return Traits::IsValid(value_); }

  void Reset(Value value = Traits::None()) {
    if (IsValid()) {
      Traits::Release(value_);
    }
    value_ = value;
  }

  // Hands the resource over to the caller, who releases it from then on.
  [[nodiscard]] Value Release() {
    Value value = value_;
    value_ = Traits::None();
    return value;
  }

 private:
  Value value_ = Traits::None();
};

// Win32 has two "no handle" values: processes, threads, pipes and mutexes use null; handles from
// CreateFile or toolhelp use INVALID_HANDLE_VALUE. Neither is ever closed.
struct HandleTraits {
  using Value = HANDLE;
  static Value None() { return nullptr; }
  static bool IsValid(Value handle) { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }
  static void Release(Value handle) { CloseHandle(handle); }
};
struct FileHandleTraits : HandleTraits {
  static Value None() { return INVALID_HANDLE_VALUE; }
};
using ScopedHandle = ScopedWin32<HandleTraits>;
using ScopedFileHandle = ScopedWin32<FileHandleTraits>;

// A module reference taken with LoadLibrary.
struct LibraryTraits {
  using Value = HMODULE;
  static Value None() { return nullptr; }
  static bool IsValid(Value module) { return module != nullptr; }
  static void Release(Value module) { FreeLibrary(module); }
};
using ScopedLibrary = ScopedWin32<LibraryTraits>;

// Memory the system allocated with LocalAlloc on our behalf.
template <typename Pointer>
struct LocalMemoryTraits {
  using Value = Pointer;
  static Value None() { return nullptr; }
  static bool IsValid(Value memory) { return memory != nullptr; }
  static void Release(Value memory) { LocalFree(memory); }
};
template <typename Pointer>
using ScopedLocalMemory = ScopedWin32<LocalMemoryTraits<Pointer>>;

// A window this program created; it must be released on the thread that created it.
struct WindowTraits {
  using Value = HWND;
  static Value None() { return nullptr; }
  static bool IsValid(Value window) { return window != nullptr; }
  static void Release(Value window) { DestroyWindow(window); }
};
using ScopedWindow = ScopedWin32<WindowTraits>;

}  // namespace base

#endif  // QUORVANTA_BASE_SCOPED_WIN32_H_
