#ifndef QUORVANTA_SHELL_STARTUP_H_
#define QUORVANTA_SHELL_STARTUP_H_

#include <string>

// The steps of the program's start-up around the window. Main thread only.

// Sets one variable in the process environment, which every child started later inherits.
using EnvironmentSetter = bool (*)(const wchar_t* name, const std::wstring& value);
bool SetProcessEnvironmentVariable(const wchar_t* name, const std::wstring& value);

// Tells the proxy core where its asset files lie: writes "Setting environment variables:" and a
// "<name> = <directory>" line for each variable, then sets "v2ray.location.asset" and
// "xray.location.asset" to `directory`, and writes "Environment variables set successfully.".
// When a variable cannot be set, writes "Failed to set <name>" to standard error and returns
// false without trying the next one.
[[nodiscard]] bool PublishAssetLocations(const std::wstring& directory,
                                         EnvironmentSetter set = &SetProcessEnvironmentVariable);

// Uses the console of the parent process; without one, opens a console of our own only when a
// debugger is attached. Otherwise the process has no console.
void AttachConsoleWhereUseful();

// Dispatches the thread's window messages until the quit message arrives.
void RunMessageLoop();

#endif  // QUORVANTA_SHELL_STARTUP_H_
