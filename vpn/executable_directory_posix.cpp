#include <unistd.h>

#include "vpn/executable_directory.h"

namespace vpn {
namespace {

constexpr size_t kFirstBufferSize = 260;
constexpr size_t kLargestBufferSize = 1 << 20;

NativeString ExecutablePath() {
  for (size_t size = kFirstBufferSize; size <= kLargestBufferSize; size *= 2) {
    std::string buffer(size, '\0');
    const ssize_t length = readlink("/proc/self/exe", buffer.data(), size);
    if (length < 0) {
      return {};
    }
    // readlink cuts silently: a full buffer may be a cut path, so try again with a larger one.
    if (static_cast<size_t>(length) < size) {
      buffer.resize(static_cast<size_t>(length));
      return buffer;
    }
  }
  return {};
}

}  // namespace

NativeString ExecutableDirectory() { return DirectoryOfPath(ExecutablePath()); }

NativeString ProgramPath(const NativeString& directory, std::string_view name) {
  return directory + "/" + std::string(name);
}

NativeString FilePath(const NativeString& directory, std::string_view name) {
  return directory + "/" + std::string(name);
}

}  // namespace vpn
