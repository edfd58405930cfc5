#ifndef QUORVANTA_STAND_INS_SCRIPTED_CHILD_CHILD_IO_H_
#define QUORVANTA_STAND_INS_SCRIPTED_CHILD_CHILD_IO_H_

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// The few platform calls a scripted stand-in child needs. Output goes straight to the standard
// handles, one system write per call, so that the parent sees the script's writes as they are.
namespace stand_in {

enum class Output { kStandardOutput, kStandardError };

// The arguments as the child's runtime split them, in UTF-8.
std::vector<std::string> CommandArguments(int argc, char** argv);

// The command line exactly as the parent passed it (Windows); empty where the system hands over
// an argument vector instead (POSIX).
std::string RawCommandLine();

// Every "NAME=value" entry of the environment, in UTF-8.
std::vector<std::string> EnvironmentEntries();

void WriteOutput(Output output, std::string_view bytes);

// Closes standard output and standard error: the parent sees the end of the output while the
// child goes on.
void CloseOutputs();

// Reads at most `size` bytes of standard input; 0 at its end.
size_t ReadInput(char* buffer, size_t size);

}  // namespace stand_in

#endif  // QUORVANTA_STAND_INS_SCRIPTED_CHILD_CHILD_IO_H_
