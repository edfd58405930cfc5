#include "tests/support/process_stats.h"

#if defined(_WIN32)
#include <windows.h>

#include <psapi.h>
#include <tlhelp32.h>

#include "base/scoped_win32.h"
#else
#include <dirent.h>

#include <fstream>
#include <string>
#endif

namespace testing_support {

#if defined(_WIN32)
int ThreadCount() {
  base::ScopedFileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
  if (!snapshot.IsValid()) return -1;
  THREADENTRY32 entry{};
  entry.dwSize = sizeof(entry);
  int count = 0;
  for (BOOL more = Thread32First(snapshot.Get(), &entry); more;
       more = Thread32Next(snapshot.Get(), &entry)) {
    count += entry.th32OwnerProcessID == GetCurrentProcessId() ? 1 : 0;
  }
  return count;
}

int OpenHandleCount() {
  DWORD count = 0;
  return GetProcessHandleCount(GetCurrentProcess(), &count) ? static_cast<int>(count) : -1;
}

int64_t ResidentBytes() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof(counters);
  return GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters))
             ? static_cast<int64_t>(counters.WorkingSetSize)
             : -1;
}
#else
namespace {

int CountEntries(const char* directory) {
  DIR* listing = opendir(directory);
  if (listing == nullptr) return -1;
  int count = 0;
  while (const dirent* entry = readdir(listing)) count += entry->d_name[0] != '.' ? 1 : 0;
  closedir(listing);
  return count;
}

}  // namespace

int ThreadCount() { return CountEntries("/proc/self/task"); }

// The listing's own descriptor is counted too; it is the same in every call.
int OpenHandleCount() { return CountEntries("/proc/self/fd"); }

int64_t ResidentBytes() {
  std::ifstream status("/proc/self/status");
  int64_t kilobytes = 0;
  for (std::string key; status >> key;) {
    if (key == "VmRSS:") return status >> kilobytes ? kilobytes * 1024 : -1;
  }
  return -1;
}
#endif

}  // namespace testing_support
