#include "stand_ins/scripted_child/child_io.h"
#include "stand_ins/scripted_child/scripted_child.h"

// Launched with the configuration text as the whole command line, so its first word is the
// program name the runtime reports: the script starts there.
int main(int argc, char** argv) {
  return stand_in::RunScriptedChild(stand_in::CommandArguments(argc, argv), 0);
}
