#include "tests/end_to_end/staged_run.h"

#include <tlhelp32.h>

#include <fstream>

#include "base/scoped_win32.h"
#include "tests/vpn/vpn_test_fixture.h"

namespace end_to_end {
namespace {

std::filesystem::path TestProgramDirectory() {
  std::wstring path(32768, L'\0');
  path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
  return std::filesystem::path(path).parent_path();
}

void WriteFile(const std::filesystem::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

std::string Section(const char* title, const std::vector<std::string>& lines) {
  std::string text = std::string("--- ") + title + "\n";
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

}  // namespace

std::filesystem::path StageDirectory() {
  return (TestProgramDirectory() / END_TO_END_STAGE_FROM_TEST).lexically_normal().make_preferred();
}

std::filesystem::path CaseFolder(std::string_view name) {
  const std::filesystem::path folder = TestProgramDirectory() / "cases" / name;
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
  std::filesystem::create_directories(folder);
  return folder;
}

std::filesystem::path CopyOfStage(const std::filesystem::path& folder, Assets assets) {
  const std::filesystem::path copy = folder / "stage";
  std::filesystem::copy(StageDirectory(), copy, std::filesystem::copy_options::recursive);
  if (assets == Assets::kLeftOut) std::filesystem::remove_all(copy / "data" / "flutter_assets");
  return copy;
}

std::vector<std::string> EnvironmentLines(const std::filesystem::path& directory) {
  const std::string text = vpn_testing::Utf8(directory);
  return {"Setting environment variables:", "v2ray.location.asset = " + text,
          "xray.location.asset = " + text, "Environment variables set successfully."};
}

std::wstring QuoteArgument(std::wstring_view argument) {
  if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring_view::npos) {
    return std::wstring(argument);
  }
  // Backslashes are literal except before a quote, where each one needs escaping.
  std::wstring quoted = L"\"";
  size_t backslashes = 0;
  for (const wchar_t unit : argument) {
    if (unit == L'\\') {
      ++backslashes;
      continue;
    }
    quoted.append(unit == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
    backslashes = 0;
    quoted.push_back(unit);
  }
  quoted.append(2 * backslashes, L'\\');
  return quoted + L"\"";
}

StagedRun::StagedRun(const std::filesystem::path& program_directory,
                     const std::filesystem::path& folder, const UiScript& script,
                     std::wstring_view more_arguments)
    : folder_(folder) {
  const std::filesystem::path script_path = folder / "script.jsonl";
  WriteFile(script_path, script.Text());
  script_argument_ = "--ui-script=" + vpn_testing::Utf8(script_path);
  transcript_argument_ = "--ui-transcript=" + vpn_testing::Utf8(folder / "transcript.txt");

  const std::filesystem::path program = program_directory / "quorvanta.exe";
  std::wstring command_line =
      QuoteArgument(program.wstring()) + L" " +
      QuoteArgument(L"--ui-script=" + script_path.wstring()) + L" " +
      QuoteArgument(L"--ui-transcript=" + (folder / "transcript.txt").wstring());
  if (!more_arguments.empty()) command_line += L" " + std::wstring(more_arguments);
  program_ = ProgramRun::Start(program.wstring(), command_line, folder.wstring());
}

bool StagedRun::Finish() { return started() && program_->WaitForExit(kRunTimeout); }

TranscriptLines StagedRun::Transcript() const {
  return TranscriptLines::FromFile(folder_ / "transcript.txt");
}

std::vector<std::string> StagedRun::OutputLines() const {
  return started() ? SplitLines(program_->Output()) : std::vector<std::string>{};
}

std::vector<std::string> StagedRun::ErrorLines() const {
  return started() ? SplitLines(program_->Errors()) : std::vector<std::string>{};
}

std::string StagedRun::Describe() const {
  if (!started()) return "the program did not start";
  return "exit code " + std::to_string(program_->exit_code()) + "\n" +
         Section("transcript", Transcript().lines()) + Section("standard output", OutputLines()) +
         Section("standard error", ErrorLines());
}

std::vector<DWORD> RunningChildren(DWORD parent, const wchar_t* file_name) {
  std::vector<DWORD> children;
  // A failed snapshot is INVALID_HANDLE_VALUE, which the handle owner would take for a handle.
  const HANDLE taken = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (taken == INVALID_HANDLE_VALUE) return children;
  const base::ScopedHandle snapshot(taken);
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more;
       more = Process32NextW(snapshot.Get(), &entry)) {
    if (entry.th32ParentProcessID == parent && _wcsicmp(entry.szExeFile, file_name) == 0) {
      children.push_back(entry.th32ProcessID);
    }
  }
  return children;
}

void EndProcess(DWORD process_id) {
  const base::ScopedHandle process(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, process_id));
  if (process.Get() == nullptr) return;
  TerminateProcess(process.Get(), 0);
  WaitForSingleObject(process.Get(), 5000);
}

}  // namespace end_to_end
