#include "vpn/executable_directory.h"

namespace vpn {

NativeString DirectoryOfPath(const NativeString& path) {
  const NativeString::size_type separator = path.find_last_of(NativeFromUtf8("\\/"));
  if (separator == NativeString::npos) {
    return path;
  }
  return path.substr(0, separator);
}

}  // namespace vpn
