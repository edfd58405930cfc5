#ifndef QUORVANTA_VPN_EXECUTABLE_DIRECTORY_H_
#define QUORVANTA_VPN_EXECUTABLE_DIRECTORY_H_

#include <string_view>

#include "vpn/native_string.h"

namespace vpn {

// The folder of the running executable: its full path cut before the last "\" or "/". The path
// is never truncated, however long; empty when the system cannot tell it. Any thread.
NativeString ExecutableDirectory();

// The part of `path` before its last "\" or "/" (the separator excluded); the whole path when it
// holds neither.
NativeString DirectoryOfPath(const NativeString& path);

// The program `name` in `directory`: "directory\name.exe" on Windows, "directory/name" on POSIX.
NativeString ProgramPath(const NativeString& directory, std::string_view name);

// The file `name` in `directory`, with the platform's separator.
NativeString FilePath(const NativeString& directory, std::string_view name);

}  // namespace vpn

#endif  // QUORVANTA_VPN_EXECUTABLE_DIRECTORY_H_
