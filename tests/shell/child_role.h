#ifndef QUORVANTA_TESTS_SHELL_CHILD_ROLE_H_
#define QUORVANTA_TESTS_SHELL_CHILD_ROLE_H_

#include <windows.h>

#include <chrono>
#include <string>

// A test program re-launches itself to play a role in a second process: a second instance of the
// program, a process with a given command line, a process without a console. Started with
// "--child-role=<name>" as its first argument, it runs that role instead of its tests and exits
// with the role's result.
namespace shell_testing {

using ChildRole = int (*)();

// Registers `run` under `name`. Meant for namespace-scope initialisers in the test files.
bool RegisterChildRole(const char* name, ChildRole run);

// The test program's main: runs the role named on the command line, or else the tests.
int RunChildRoleOrTests(int argc, char** argv);

struct ChildRun {
  bool exited_in_time = false;
  DWORD exit_code = 0;
  // What the child wrote to its standard output and standard error.
  std::string output;
};

// Runs this test program again as `role`, with `extra_arguments` after the role on its command
// line and `creation_flags` for CreateProcessW. Waits at most `timeout`, dispatching this
// thread's window messages meanwhile (the child may act on our windows, which needs our message
// loop); a child still running then is ended and reported as not exited in time.
ChildRun RunSelfAs(const char* role, const std::wstring& extra_arguments,
                   std::chrono::milliseconds timeout, DWORD creation_flags = 0);

}  // namespace shell_testing

#endif  // QUORVANTA_TESTS_SHELL_CHILD_ROLE_H_
