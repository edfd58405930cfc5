#include "shell/debug_console.h"

#include <windows.h>

#include <io.h>

#include <cstdio>
#include <iostream>

#include "shell/embedder/embedder_api.h"

namespace {

// Points `stream` at the console. When the stream cannot be reopened there, the descriptor
// `target` becomes a copy of standard output's descriptor instead, provided that one is open.
void ReopenOnConsole(std::FILE* stream, int target) {
  if (std::freopen("CONOUT$", "w", stream) != nullptr) {
    return;
  }
  const int standard_output = _fileno(stdout);
  if (standard_output >= 0) {
    _dup2(standard_output, target);
  }
}

}  // namespace

void OpenDebugConsole() {
  if (!AllocConsole()) {
    return;
  }
  ReopenOnConsole(stdout, 1);
  ReopenOnConsole(stderr, 2);
  std::ios::sync_with_stdio(true);
  FlutterDesktopResyncOutputStreams();
}
