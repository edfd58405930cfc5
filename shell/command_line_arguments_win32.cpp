#include "shell/command_line_arguments.h"

#include <windows.h>

#include <shellapi.h>

#include "base/scoped_win32.h"
#include "base/utf_conversion.h"

std::vector<std::string> ArgumentsFromCommandLine(const wchar_t* command_line) {
  int count = 0;
  const base::ScopedLocalMemory<wchar_t**> split(CommandLineToArgvW(command_line, &count));
  if (!split.IsValid()) {
    return {};
  }
  std::vector<std::string> arguments;
  // The first element is the program path.
  for (int index = 1; index < count; ++index) {
    arguments.push_back(base::WideToUtf8Strict(split.Get()[index]));
  }
  return arguments;
}

std::vector<std::string> CommandLineArguments() {
  return ArgumentsFromCommandLine(GetCommandLineW());
}
