#ifndef QUORVANTA_SHELL_DEBUG_CONSOLE_H_
#define QUORVANTA_SHELL_DEBUG_CONSOLE_H_

// Gives the process a new console and points the standard output and error streams, the C++
// stream objects and the UI engine's own output at it. Used when the process runs under a
// debugger without a parent console. Does nothing when no console can be created.
void OpenDebugConsole();

#endif  // QUORVANTA_SHELL_DEBUG_CONSOLE_H_
