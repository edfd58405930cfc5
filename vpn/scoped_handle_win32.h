#ifndef QUORVANTA_VPN_SCOPED_HANDLE_WIN32_H_
#define QUORVANTA_VPN_SCOPED_HANDLE_WIN32_H_

#include <windows.h>

namespace vpn {

// Owns one Win32 handle and closes it once. Win32 has two "no handle" values: process, thread
// and pipe handles use null, file-like handles from CreateFile or toolhelp use
// INVALID_HANDLE_VALUE. `Traits::Empty()` names the one this owner treats as empty; both are
// never closed.
template <typename Traits>
class ScopedHandleT {
 public:
  ScopedHandleT() = default;
  explicit ScopedHandleT(HANDLE handle) : handle_(handle) {}
  ~ScopedHandleT() { Reset(); }

  ScopedHandleT(ScopedHandleT&& other) noexcept : handle_(other.Release()) {}
  ScopedHandleT& operator=(ScopedHandleT&& other) noexcept {
    if (this != &other) {
      Reset(other.Release());
    }
    return *this;
  }
  ScopedHandleT(const ScopedHandleT&) = delete;
  ScopedHandleT& operator=(const ScopedHandleT&) = delete;

  HANDLE Get() const { return handle_; }
  bool IsValid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }

  void Reset(HANDLE handle = Traits::Empty()) {
    if (IsValid()) {
      CloseHandle(handle_);
    }
    handle_ = handle;
  }

  [[nodiscard]] HANDLE Release() {
    HANDLE handle = handle_;
    handle_ = Traits::Empty();
    return handle;
  }

 private:
  HANDLE handle_ = Traits::Empty();
};

struct NullIsEmpty {
  static HANDLE Empty() { return nullptr; }
};
struct InvalidIsEmpty {
  static HANDLE Empty() { return INVALID_HANDLE_VALUE; }
};

using ScopedHandle = ScopedHandleT<NullIsEmpty>;
using ScopedFileHandle = ScopedHandleT<InvalidIsEmpty>;

}  // namespace vpn

#endif  // QUORVANTA_VPN_SCOPED_HANDLE_WIN32_H_
