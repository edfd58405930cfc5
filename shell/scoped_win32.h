#ifndef QUORVANTA_SHELL_SCOPED_WIN32_H_
#define QUORVANTA_SHELL_SCOPED_WIN32_H_

#include <windows.h>

// Move-only owners of the Windows resources the shell holds for a while. Each owner releases its
// resource exactly once, when it is reset or goes out of scope.
template <typename Traits>
class ScopedWin32 {
 public:
  using Value = typename Traits::Value;

  ScopedWin32() = default;
  explicit ScopedWin32(Value value) : value_(value) {}
  ScopedWin32(ScopedWin32&& other) noexcept : value_(other.value_) {
    other.value_ = Traits::Invalid();
  }
  ScopedWin32& operator=(ScopedWin32&& other) noexcept {
    if (this != &other) {
      Reset(other.value_);
      other.value_ = Traits::Invalid();
    }
    return *this;
  }
  ScopedWin32(const ScopedWin32&) = delete;
  ScopedWin32& operator=(const ScopedWin32&) = delete;
  ~ScopedWin32() { Reset(); }

  Value Get() const { return value_; }
  bool IsValid() const { return value_ != Traits::Invalid(); }

  void Reset(Value value = Traits::Invalid()) {
    if (IsValid()) {
      Traits::Free(value_);
    }
    value_ = value;
  }

 private:
  Value value_ = Traits::Invalid();
};

// A module reference taken with LoadLibrary.
struct LibraryTraits {
  using Value = HMODULE;
  static Value Invalid() { return nullptr; }
  static void Free(Value module) { FreeLibrary(module); }
};
using ScopedLibrary = ScopedWin32<LibraryTraits>;

// Memory the system allocated with LocalAlloc on our behalf.
template <typename Pointer>
struct LocalMemoryTraits {
  using Value = Pointer;
  static Value Invalid() { return nullptr; }
  static void Free(Value memory) { LocalFree(memory); }
};
template <typename Pointer>
using ScopedLocalMemory = ScopedWin32<LocalMemoryTraits<Pointer>>;

// A kernel object handle whose "none" value is null (processes, threads, mutexes).
struct KernelHandleTraits {
  using Value = HANDLE;
  static Value Invalid() { return nullptr; }
  static void Free(Value handle) { CloseHandle(handle); }
};
using ScopedKernelHandle = ScopedWin32<KernelHandleTraits>;

// A window this program created; it must be released on the thread that created it.
struct WindowTraits {
  using Value = HWND;
  static Value Invalid() { return nullptr; }
  static void Free(Value window) { DestroyWindow(window); }
};
using ScopedWindow = ScopedWin32<WindowTraits>;

#endif  // QUORVANTA_SHELL_SCOPED_WIN32_H_
