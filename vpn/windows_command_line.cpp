#include "vpn/windows_command_line.h"

namespace vpn {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

std::string QuoteWindowsArgument(std::string_view argument) {
  if (!argument.empty() && argument.find_first_of(" \t\n\v\"") == std::string_view::npos) {
    return std::string(argument);
  }
  std::string quoted = "\"";
  size_t backslashes = 0;
  for (char c : argument) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    if (c == '"') {
      // Each backslash before a quote is doubled and one more escapes the quote itself.
      quoted.append(backslashes * 2 + 1, '\\');
    } else {
      quoted.append(backslashes, '\\');
    }
    backslashes = 0;
    quoted.push_back(c);
  }
  // The closing quote follows: backslashes before it are doubled so that it stays a quote.
  quoted.append(backslashes * 2, '\\');
  quoted.push_back('"');
  return quoted;
}

std::vector<std::string> SplitWindowsCommandLine(std::string_view command_line) {
  std::vector<std::string> arguments;
  size_t i = 0;
  const size_t end = command_line.size();

  if (end > 0) {
    std::string program;
    bool quoted = false;
    for (; i < end && (quoted || !IsBlank(command_line[i])); ++i) {
      if (command_line[i] == '"') {
        quoted = !quoted;
      } else {
        program.push_back(command_line[i]);
      }
    }
    arguments.push_back(std::move(program));
  }

  for (;;) {
    while (i < end && IsBlank(command_line[i])) {
      ++i;
    }
    if (i == end) {
      break;
    }
    std::string argument;
    bool quoted = false;
    while (i < end && (quoted || !IsBlank(command_line[i]))) {
      size_t backslashes = 0;
      while (i < end && command_line[i] == '\\') {
        ++backslashes;
        ++i;
      }
      if (i < end && command_line[i] == '"') {
        argument.append(backslashes / 2, '\\');
        if (backslashes % 2 == 1) {
          argument.push_back('"');
        } else if (quoted && i + 1 < end && command_line[i + 1] == '"') {
          argument.push_back('"');
          ++i;
        } else {
          quoted = !quoted;
        }
        ++i;
        continue;
      }
      argument.append(backslashes, '\\');
      if (i < end && (quoted || !IsBlank(command_line[i]))) {
        argument.push_back(command_line[i]);
        ++i;
      }
    }
    arguments.push_back(std::move(argument));
  }
  return arguments;
}

}  // namespace vpn
