#include "shell/single_instance.h"

#include <windows.h>

namespace {

constexpr wchar_t kMutexName[] = L"my.mutex.name";
constexpr char kRunningInstanceTitle[] = "Quorvanta";

struct InstanceGuard {
  // Never closed: the mutex object's existence, bound to this process's life, is what a later
  // instance detects.
  HANDLE mutex = nullptr;
  bool running_instance = false;
};

InstanceGuard& ProcessGuard() {
  static InstanceGuard guard;
  return guard;
}

int ShowCommandFor(UINT placement_show_command) {
  switch (placement_show_command) {
    case SW_SHOWMINIMIZED:
      return SW_RESTORE;
    case SW_SHOWMAXIMIZED:
      return SW_SHOWMAXIMIZED;
    default:
      return SW_SHOWNORMAL;
  }
}

}  // namespace

bool ClaimSingleInstance() {
  InstanceGuard& guard = ProcessGuard();
  // Once this process holds the mutex, creating it again would find our own object and take us
  // for a second instance.
  if (guard.mutex != nullptr) {
    return guard.running_instance;
  }
  SetLastError(ERROR_SUCCESS);
  guard.mutex = CreateMutexW(nullptr, TRUE, kMutexName);
  guard.running_instance = GetLastError() != ERROR_ALREADY_EXISTS;
  if (guard.mutex != nullptr && guard.running_instance) {
    ReleaseMutex(guard.mutex);
  }
  return guard.running_instance;
}

void ActivateRunningInstance() {
  HWND running = FindWindowA(nullptr, kRunningInstanceTitle);
  if (running == nullptr) {
    return;
  }
  WINDOWPLACEMENT placement{};
  placement.length = sizeof(placement);
  GetWindowPlacement(running, &placement);
  ShowWindow(running, ShowCommandFor(placement.showCmd));
  SetWindowPos(running, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
  SetForegroundWindow(running);
}
