#ifndef QUORVANTA_STAND_INS_SCRIPTED_CHILD_SCRIPTED_CHILD_H_
#define QUORVANTA_STAND_INS_SCRIPTED_CHILD_SCRIPTED_CHILD_H_

#include <cstddef>
#include <string>
#include <vector>

// A stand-in child program whose behaviour the test chooses through its command line. The script
// is the arguments from `first_script_argument` on, joined by spaces: steps separated by ",",
// each "verb" or "verb=value", the value percent-encoded (%2C for a comma, %20 for a space).
//
//   report=DIR     writes DIR/args (each argument, zero-ended), DIR/cmdline (the raw command
//                  line, Windows only), DIR/cwd, DIR/env (each entry, zero-ended) and starts
//                  DIR/stdin, where every byte later read from standard input is appended
//   say=TEXT       writes TEXT to standard output in one write
//   err=TEXT       writes TEXT to standard error in one write
//   burst=N:TEXT   writes N filler bytes ("#") followed by TEXT in one write
//   stamp=TEXT     writes TEXT in one write and appends the monotonic time taken just before, in
//                  nanoseconds and as a line, to DIR/stamps
//   ask            reads standard input up to and including a line feed
//   drain          reads standard input to its end
//   echo           copies standard input to standard output until the input ends
//   closeout       closes standard output and standard error
//   sleep=MS       waits; a long sleep stands for "runs until terminated"
//   await=PATH     waits until the file PATH exists (at most two minutes): the test says when
//   exit=CODE      ends at once with CODE
// The script ends with exit code 0; an unknown step ends it with exit code 2.
namespace stand_in {

int RunScriptedChild(const std::vector<std::string>& arguments, size_t first_script_argument);

}  // namespace stand_in

#endif  // QUORVANTA_STAND_INS_SCRIPTED_CHILD_SCRIPTED_CHILD_H_
