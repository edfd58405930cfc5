#ifndef QUORVANTA_TESTS_SHELL_SHELL_TEST_HELPERS_H_
#define QUORVANTA_TESTS_SHELL_SHELL_TEST_HELPERS_H_

#include <windows.h>

#include <chrono>
#include <functional>
#include <string>

// The shell's Windows tests run as one program. It re-launches itself to play a role in a second
// process (a second instance of the program, a process without a console): started with
// "--child-role=<name>" as its first argument, it runs that role instead of its tests and exits
// with the role's result.
namespace shell_testing {

// Registers `run` under `name`. Meant for namespace-scope initialisers in the test files.
bool RegisterChildRole(const char* name, int (*run)());

struct ChildRun {
  bool exited_in_time = false;
  DWORD exit_code = 0;
  // What the child wrote to its standard output and standard error.
  std::string output;
};

// Runs this test program again as `role`, with `creation_flags` for CreateProcessW. Dispatches
// this thread's window messages meanwhile (the child may act on our windows); a child still
// running after a minute is ended and reported as not exited in time.
ChildRun RunSelfAs(const char* role, DWORD creation_flags = 0);

// Dispatches this thread's window messages until `done` holds; false when it still does not
// after `limit`.
[[nodiscard]] bool PumpMessagesUntil(const std::function<bool()>& done,
                                     std::chrono::milliseconds limit = std::chrono::seconds(20));

// Dispatches this thread's window messages for `duration`.
void PumpMessagesFor(std::chrono::milliseconds duration);

}  // namespace shell_testing

#endif  // QUORVANTA_TESTS_SHELL_SHELL_TEST_HELPERS_H_
