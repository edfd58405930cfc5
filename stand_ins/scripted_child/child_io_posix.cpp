#include <unistd.h>

#include <cerrno>

#include "stand_ins/scripted_child/child_io.h"

extern char** environ;

namespace stand_in {

std::vector<std::string> CommandArguments(int argc, char** argv) {
  return std::vector<std::string>(argv, argv + argc);
}

std::string RawCommandLine() { return {}; }

std::vector<std::string> EnvironmentEntries() {
  std::vector<std::string> entries;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    entries.emplace_back(*entry);
  }
  return entries;
}

void WriteOutput(Output output, std::string_view bytes) {
  const int fd = output == Output::kStandardOutput ? STDOUT_FILENO : STDERR_FILENO;
  while (!bytes.empty()) {
    const ssize_t written = write(fd, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) {
      continue;
    }
    if (written <= 0) {
      return;
    }
    bytes.remove_prefix(static_cast<size_t>(written));
  }
}

void CloseOutputs() {
  close(STDOUT_FILENO);
  close(STDERR_FILENO);
}

size_t ReadInput(char* buffer, size_t size) {
  for (;;) {
    const ssize_t got = read(STDIN_FILENO, buffer, size);
    if (got >= 0) {
      return static_cast<size_t>(got);
    }
    if (errno != EINTR) {
      return 0;
    }
  }
}

}  // namespace stand_in
