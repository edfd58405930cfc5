#include "tests/end_to_end/staged_run.h"

#include <tlhelp32.h>

#include <algorithm>
#include <chrono>
#include <fstream>

namespace end_to_end {
namespace {

// How long one run of the program may take, start-up under Wine included.
constexpr DWORD kRunTimeoutMs = 90000;
// The exit code given to a program that had to be ended.
constexpr DWORD kEndedAfterTimeout = 0xE2E0;

std::filesystem::path TestProgramDirectory() {
  std::wstring path(32768, L'\0');
  path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
  return std::filesystem::path(path).parent_path();
}

// A file that the program writes to, as its inheritable standard output or error.
base::ScopedFileHandle CreateInheritableFile(const std::filesystem::path& path) {
  SECURITY_ATTRIBUTES inheritable{sizeof(inheritable), nullptr, TRUE};
  return base::ScopedFileHandle(CreateFileW(path.c_str(), GENERIC_WRITE,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                                            CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
}

std::vector<std::string> ReadLines(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::vector<std::string> lines;
  for (std::string line; std::getline(file, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
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

std::filesystem::path DemoScript() {
  return (TestProgramDirectory() / END_TO_END_DEMO_SCRIPT_FROM_TEST).lexically_normal();
}

std::filesystem::path CaseFolder(std::string_view name) {
  const std::filesystem::path folder = TestProgramDirectory() / "cases" / name;
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
  std::filesystem::create_directories(folder);
  return folder;
}

std::filesystem::path WriteScript(const std::filesystem::path& folder, std::string_view text) {
  const std::filesystem::path path = folder / "script.jsonl";
  std::ofstream(path, std::ios::binary) << text;
  return path;
}

std::vector<std::string> EnvironmentLines(const std::filesystem::path& directory) {
  const std::string text = Utf8(directory);
  return {"Setting environment variables:", "v2ray.location.asset = " + text,
          "xray.location.asset = " + text, "Environment variables set successfully."};
}

std::string Utf8(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

StagedRun::StagedRun(const std::filesystem::path& program_directory,
                     const std::filesystem::path& folder, const std::filesystem::path& script)
    : folder_(folder) {
  const base::ScopedFileHandle output = CreateInheritableFile(folder / "stdout.txt");
  const base::ScopedFileHandle errors = CreateInheritableFile(folder / "stderr.txt");
  if (!output.IsValid() || !errors.IsValid()) return;
  const std::filesystem::path program = program_directory / "quorvanta.exe";
  // None of these paths holds a quote or ends in a backslash, so plain quotes keep each whole.
  std::wstring command_line = L"\"" + program.wstring() + L"\" \"--ui-script=" + script.wstring() +
                              L"\" \"--ui-transcript=" + (folder / "transcript.txt").wstring() +
                              L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = output.Get();
  startup.hStdError = errors.Get();
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(program.c_str(), command_line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                      folder.c_str(), &startup, &process)) {
    return;
  }
  const base::ScopedHandle thread(process.hThread);
  process_.Reset(process.hProcess);
  process_id_ = process.dwProcessId;
}

StagedRun::~StagedRun() {
  if (started() && WaitForSingleObject(process_.Get(), 0) == WAIT_TIMEOUT) {
    TerminateProcess(process_.Get(), kEndedAfterTimeout);
    WaitForSingleObject(process_.Get(), 5000);
  }
}

bool StagedRun::Finish() {
  if (!started()) return false;
  const bool in_time = WaitForSingleObject(process_.Get(), kRunTimeoutMs) == WAIT_OBJECT_0;
  if (!in_time) {
    TerminateProcess(process_.Get(), kEndedAfterTimeout);
    WaitForSingleObject(process_.Get(), 5000);
  }
  GetExitCodeProcess(process_.Get(), &exit_code_);
  return in_time;
}

bool StagedRun::WaitForTranscriptLine(const std::string& line) const {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kRunTimeoutMs);
  while (started() && std::chrono::steady_clock::now() < deadline) {
    const std::vector<std::string> lines = Transcript();
    if (std::find(lines.begin(), lines.end(), line) != lines.end()) return true;
    if (WaitForSingleObject(process_.Get(), 50) == WAIT_OBJECT_0) return false;
  }
  return false;
}

std::vector<std::string> StagedRun::Transcript() const {
  return ReadLines(folder_ / "transcript.txt");
}

bool StagedRun::Passed() const {
  const std::vector<std::string> lines = Transcript();
  return std::none_of(lines.begin(), lines.end(),
                      [](const std::string& line) { return line.starts_with("FAILED"); }) &&
         std::find(lines.begin(), lines.end(), "done failures=0") != lines.end();
}

std::vector<std::string> StagedRun::OutputLines() const {
  return ReadLines(folder_ / "stdout.txt");
}

std::vector<std::string> StagedRun::ErrorLines() const { return ReadLines(folder_ / "stderr.txt"); }

std::string StagedRun::Describe() const {
  if (!started()) return "the program did not start";
  return "exit code " + std::to_string(exit_code_) + "\n" + Section("transcript", Transcript()) +
         Section("standard output", OutputLines()) + Section("standard error", ErrorLines());
}

std::vector<DWORD> EndRunningChildren(const StagedRun& run) {
  std::vector<DWORD> children;
  const base::ScopedFileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = snapshot.IsValid() && Process32FirstW(snapshot.Get(), &entry); more;
       more = Process32NextW(snapshot.Get(), &entry)) {
    if (!run.started() || entry.th32ParentProcessID != run.process_id() ||
        (_wcsicmp(entry.szExeFile, L"openconnect.exe") != 0 &&
         _wcsicmp(entry.szExeFile, L"xray.exe") != 0)) {
      continue;
    }
    children.push_back(entry.th32ProcessID);
    const base::ScopedHandle child(
        OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID));
    if (child.IsValid()) {
      TerminateProcess(child.Get(), 0);
      WaitForSingleObject(child.Get(), 5000);
    }
  }
  return children;
}

}  // namespace end_to_end
