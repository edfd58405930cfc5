#ifndef QUORVANTA_SHELL_COMMAND_LINE_ARGUMENTS_H_
#define QUORVANTA_SHELL_COMMAND_LINE_ARGUMENTS_H_

#include <string>
#include <vector>

// The arguments of `command_line` after the program path, split by the system's own rules and
// converted to UTF-8. An argument that is not valid UTF-16 becomes an empty string in its place;
// a command line that cannot be split gives no arguments.
std::vector<std::string> ArgumentsFromCommandLine(const wchar_t* command_line);

// The arguments of this process's own command line, as above.
std::vector<std::string> CommandLineArguments();

#endif  // QUORVANTA_SHELL_COMMAND_LINE_ARGUMENTS_H_
