#include <dirent.h>

#include <fstream>
#include <string>

#include "tests/support/process_stats.h"

namespace testing_support {
namespace {

int CountEntries(const char* directory) {
  DIR* listing = opendir(directory);
  if (listing == nullptr) {
    return -1;
  }
  int count = 0;
  while (const dirent* entry = readdir(listing)) {
    if (entry->d_name[0] != '.') {
      ++count;
    }
  }
  closedir(listing);
  return count;
}

}  // namespace

int ThreadCount() { return CountEntries("/proc/self/task"); }

// The listing's own descriptor is counted too; it is the same in every call.
int OpenHandleCount() { return CountEntries("/proc/self/fd"); }

int64_t ResidentBytes() {
  std::ifstream status("/proc/self/status");
  std::string key;
  while (status >> key) {
    if (key == "VmRSS:") {
      int64_t kilobytes = 0;
      status >> kilobytes;
      return kilobytes * 1024;
    }
  }
  return -1;
}

}  // namespace testing_support
