#include <windows.h>

#include <thread>

#include "tests/vpn/inheritable_pipe.h"

namespace vpn_testing {

InheritablePipe::InheritablePipe() {
  SECURITY_ATTRIBUTES attributes{};
  attributes.nLength = sizeof(attributes);
  attributes.bInheritHandle = TRUE;
  HANDLE read_handle = nullptr;
  HANDLE write_handle = nullptr;
  if (CreatePipe(&read_handle, &write_handle, &attributes, 0)) {
    read_end_.Reset(read_handle);
    write_end_.Reset(write_handle);
  }
}

bool InheritablePipe::WriterGone(std::chrono::milliseconds timeout) const {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  do {
    // With no writer left, the pipe reports itself broken.
    if (!PeekNamedPipe(read_end_.Get(), nullptr, 0, nullptr, nullptr, nullptr)) {
      return GetLastError() == ERROR_BROKEN_PIPE;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  } while (std::chrono::steady_clock::now() < deadline);
  return false;
}

}  // namespace vpn_testing
