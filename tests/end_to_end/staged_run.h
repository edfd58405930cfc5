#ifndef QUORVANTA_TESTS_END_TO_END_STAGED_RUN_H_
#define QUORVANTA_TESTS_END_TO_END_STAGED_RUN_H_

#include <windows.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "tests/end_to_end/program_run.h"
#include "tests/end_to_end/transcript_lines.h"
#include "tests/end_to_end/ui_script.h"

namespace end_to_end {

// How long one run of the program may take, start-up under Wine included.
inline constexpr auto kRunTimeout = std::chrono::seconds(90);

// The folder the build staged: the program with everything it loads and launches beside it.
std::filesystem::path StageDirectory();

// A new, empty folder for one case, under the test program's own folder.
std::filesystem::path CaseFolder(std::string_view name);

enum class Assets { kIncluded, kLeftOut };
// Copies the staged folder to `folder`\stage, leaving out data\flutter_assets when asked, and
// returns the copy.
std::filesystem::path CopyOfStage(const std::filesystem::path& folder, Assets assets);

// The lines that the program in `directory` writes first: the asset locations it publishes.
std::vector<std::string> EnvironmentLines(const std::filesystem::path& directory);

// The argument quoted for a Windows command line, so that the system's splitting gives it back.
std::wstring QuoteArgument(std::wstring_view argument);

// One run of the program in `program_directory` as a user starts it: `script` is written into
// `folder`, which is also the current directory, and the engine's arguments name it and a
// transcript copy, folder\transcript.txt. `more_arguments` is raw command-line text put after
// them.
class StagedRun {
 public:
  StagedRun(const std::filesystem::path& program_directory, const std::filesystem::path& folder,
            const UiScript& script, std::wstring_view more_arguments = {});

  bool started() const { return program_ != nullptr; }
  ProgramRun& program() { return *program_; }
  // Waits for the program to end; false when it did not start or overran kRunTimeout.
  [[nodiscard]] bool Finish();

  TranscriptLines Transcript() const;
  std::vector<std::string> OutputLines() const;
  std::vector<std::string> ErrorLines() const;
  // The exit code, the transcript and everything written, for a failure's message.
  std::string Describe() const;

  // The engine's arguments as the program received them.
  const std::string& script_argument() const { return script_argument_; }
  const std::string& transcript_argument() const { return transcript_argument_; }

 private:
  std::filesystem::path folder_;
  std::string script_argument_;
  std::string transcript_argument_;
  std::unique_ptr<ProgramRun> program_;
};

// The ids of the still running processes of `file_name` that `parent` started.
std::vector<DWORD> RunningChildren(DWORD parent, const wchar_t* file_name);
void EndProcess(DWORD process_id);

}  // namespace end_to_end

#endif  // QUORVANTA_TESTS_END_TO_END_STAGED_RUN_H_
