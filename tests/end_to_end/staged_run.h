#ifndef QUORVANTA_TESTS_END_TO_END_STAGED_RUN_H_
#define QUORVANTA_TESTS_END_TO_END_STAGED_RUN_H_

#include <windows.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "base/scoped_win32.h"

namespace end_to_end {

// The folder the build staged: the program with everything it loads and launches beside it.
std::filesystem::path StageDirectory();
// scripts/demo.jsonl of the source tree, the UI script that scripts/demo plays.
std::filesystem::path DemoScript();
// A new, empty folder for one case, under the test program's own folder.
std::filesystem::path CaseFolder(std::string_view name);
// Writes `text` as folder\script.jsonl and gives its path.
std::filesystem::path WriteScript(const std::filesystem::path& folder, std::string_view text);
// The lines that the program in `directory` writes first: the asset locations it publishes.
std::vector<std::string> EnvironmentLines(const std::filesystem::path& directory);
// The path as the program writes it.
std::string Utf8(const std::filesystem::path& path);

// One run of quorvanta.exe in `program_directory` as a user starts it: the current directory is
// `folder`, the engine's arguments name the UI script `script` and a copy of the transcript,
// folder\transcript.txt, and standard output and standard error go to files in `folder`. A
// program still running when the object goes is ended.
class StagedRun {
 public:
  StagedRun(const std::filesystem::path& program_directory, const std::filesystem::path& folder,
            const std::filesystem::path& script);
  ~StagedRun();

  StagedRun(const StagedRun&) = delete;
  StagedRun& operator=(const StagedRun&) = delete;

  bool started() const { return process_.IsValid(); }
  DWORD process_id() const { return process_id_; }
  // Waits for the program to end; false when it did not start, or overran its time and was ended.
  [[nodiscard]] bool Finish();
  // Valid once Finish has returned.
  DWORD exit_code() const { return exit_code_; }
  // Waits until the transcript holds `line`; false when the program ends or overruns first.
  [[nodiscard]] bool WaitForTranscriptLine(const std::string& line) const;

  std::vector<std::string> Transcript() const;
  // The script ran to its end and every check held.
  bool Passed() const;
  std::vector<std::string> OutputLines() const;
  std::vector<std::string> ErrorLines() const;
  // The exit code, the transcript and everything written, for a failure's message.
  std::string Describe() const;

 private:
  std::filesystem::path folder_;
  base::ScopedHandle process_;
  DWORD process_id_ = 0;
  DWORD exit_code_ = STILL_ACTIVE;
};

// Ends the children that the run started and that still run, openconnect.exe and xray.exe, and
// gives their ids.
std::vector<DWORD> EndRunningChildren(const StagedRun& run);

}  // namespace end_to_end

#endif  // QUORVANTA_TESTS_END_TO_END_STAGED_RUN_H_
