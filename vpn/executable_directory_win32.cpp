
#include <windows.h>

#include "vpn/executable_directory.h"

namespace vpn {
namespace {

// Long-path installs exceed MAX_PATH; a cut path would name a program in another folder, so the
// buffer grows until the whole path fits (the system's limit is 32,767 units).
constexpr DWORD kFirstBufferSize = MAX_PATH;
constexpr DWORD kLargestBufferSize = 32768;

NativeString ExecutablePath() {
  for (DWORD size = kFirstBufferSize; size <= kLargestBufferSize; size *= 2) {
    std::wstring buffer(size, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), size);
    if (length == 0) {
      return {};
    }
    // A full buffer means the path was cut (and ERROR_INSUFFICIENT_BUFFER set).
    if (length < size) {
      buffer.resize(length);
      return buffer;
    }
  }
  return {};
}

}  // namespace

NativeString ExecutableDirectory() { return DirectoryOfPath(ExecutablePath()); }

NativeString ProgramPath(const NativeString& directory, std::string_view name) {
  return directory + L"\\" + NativeFromUtf8(name) + L".exe";
}

NativeString FilePath(const NativeString& directory, std::string_view name) {
  return directory + L"\\" + NativeFromUtf8(name);
}

}  // namespace vpn
