// The program's entry: publishes the proxy core's asset location, prepares the console and COM,
// creates the top-level window with the UI, and runs the message loop until that window is
// destroyed. Exit code 0 after a normal end; 1 when start-up fails or another instance runs.

#include <windows.h>

#include <objbase.h>

#include "shell/command_line_arguments.h"
#include "shell/embedder/engine_project.h"
#include "shell/flutter_window.h"
#include "shell/startup.h"
#include "vpn/executable_directory.h"

int APIENTRY wWinMain(HINSTANCE /*instance*/, HINSTANCE /*previous_instance*/,
                      wchar_t* /*command_line*/, int /*show_command*/) {
  // Before anything else, so that every child started later inherits the variables.
  if (!PublishAssetLocations(vpn::ExecutableDirectory())) {
    return 1;
  }
  AttachConsoleWhereUseful();
  // Its result does not matter: the program runs either way.
  static_cast<void>(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));

  // Relative: the engine resolves them against the executable's folder.
  flutter::EngineProject project(L"data");
  project.SetEntrypointArguments(CommandLineArguments());

  FlutterWindow window(project);
  if (!window.Create(L"Quorvanta", Win32Window::Point{10, 10}, Win32Window::Size{360, 690})) {
    return 1;
  }
  window.SetQuitOnDestroy(true);

  RunMessageLoop();

  CoUninitialize();
  return 0;
}
