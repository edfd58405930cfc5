#include <dirent.h>

#include <fstream>
#include <memory>
#include <string>

#include "tests/support/process_stats.h"

namespace testing_support {
namespace {

int CountEntries(const char* directory) {
  const std::unique_ptr<DIR, int (*)(DIR*)> listing(opendir(directory), &closedir);
  if (listing == nullptr) return -1;
  int count = 0;
  while (const dirent* entry = readdir(listing.get())) count += entry->d_name[0] != '.' ? 1 : 0;
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

}  // namespace testing_support
