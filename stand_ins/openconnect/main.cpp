#include "stand_ins/scripted_child/child_io.h"
#include "stand_ins/scripted_child/scripted_child.h"

// Launched as "--allow-insecure-crypto <server>": the first argument is the fixed option, the
// server after it is the script.
int main(int argc, char** argv) {
  return stand_in::RunScriptedChild(stand_in::CommandArguments(argc, argv), 1);
}
