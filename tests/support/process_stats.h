#ifndef QUORVANTA_TESTS_SUPPORT_PROCESS_STATS_H_
#define QUORVANTA_TESTS_SUPPORT_PROCESS_STATS_H_

#include <cstdint>

// What the current process holds right now, for leak checks and benchmark figures.
namespace testing_support {

int ThreadCount();
// Open file descriptors (POSIX) or handles (Windows).
int OpenHandleCount();
// Resident memory, in bytes.
int64_t ResidentBytes();

}  // namespace testing_support

#endif  // QUORVANTA_TESTS_SUPPORT_PROCESS_STATS_H_
