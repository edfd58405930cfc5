#include <windows.h>

#include <process.h>

#include <memory>

#include "base/scoped_win32.h"
#include "vpn/worker_thread.h"

namespace vpn {
namespace {

unsigned __stdcall RunBody(void* parameter) {
  std::unique_ptr<std::function<void()>> body(static_cast<std::function<void()>*>(parameter));
  (*body)();
  return 0;
}

}  // namespace

bool StartDetachedThread(std::function<void()> body) {
  auto owned = std::make_unique<std::function<void()>>(std::move(body));
  const uintptr_t thread = _beginthreadex(nullptr, 0, &RunBody, owned.get(), 0, nullptr);
  if (thread == 0) {
    return false;
  }
  // The thread owns the body now; closing our handle detaches it.
  static_cast<void>(owned.release());
  base::ScopedHandle detach(reinterpret_cast<HANDLE>(thread));
  return true;
}

}  // namespace vpn
