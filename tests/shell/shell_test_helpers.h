#ifndef QUORVANTA_TESTS_SHELL_SHELL_TEST_HELPERS_H_
#define QUORVANTA_TESTS_SHELL_SHELL_TEST_HELPERS_H_

#include <windows.h>

#include <string>

#include "tests/support/message_pump_win32.h"

// The shell's Windows tests are one program, which re-launches itself to play a role in another
// process (a second instance, a process without a console): started with "--child-role=<name>",
// it runs that role instead of its tests and exits with the role's result.
namespace shell_testing {

// Registers `run` under `name`; for namespace-scope initialisers.
bool RegisterChildRole(const char* name, int (*run)());

struct ChildRun {
  bool exited_in_time = false;
  DWORD exit_code = 0;
  std::string output;  // standard output and standard error
};

// Runs this program again as `role`. Dispatches this thread's window messages meanwhile (the
// child may act on our windows); a child still running after a minute is ended.
ChildRun RunSelfAs(const char* role, DWORD creation_flags = 0);

using testing_support::PumpMessagesFor;
using testing_support::PumpMessagesUntil;

}  // namespace shell_testing

#endif  // QUORVANTA_TESTS_SHELL_SHELL_TEST_HELPERS_H_
