#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <windows.h>

#include <tlhelp32.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "base/scoped_win32.h"

// The staged program under Wine, started as a user starts it: the demo's own UI script, and
// beside it what only the whole program shows and the demo does not: a start-up that fails and an
// end while the children run. A second instance is refused in the shell's window tests, by a
// second real process.
namespace end_to_end {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::StartsWith;

// How long one run of the program may take, start-up under Wine included.
constexpr DWORD kRunTimeoutMs = 90000;
// The exit code given to a program that had to be ended.
constexpr DWORD kEndedAfterTimeout = 0xE2E0;

std::filesystem::path TestProgramDirectory() {
  std::wstring path(32768, L'\0');
  path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
  return std::filesystem::path(path).parent_path();
}

// The folder the build staged: the program with everything it loads and launches beside it.
std::filesystem::path StageDirectory() {
  return (TestProgramDirectory() / END_TO_END_STAGE_FROM_TEST).lexically_normal().make_preferred();
}

// A new, empty folder for one case, under the test program's own folder.
std::filesystem::path CaseFolder(std::string_view name) {
  const std::filesystem::path folder = TestProgramDirectory() / "cases" / name;
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
  std::filesystem::create_directories(folder);
  return folder;
}

// Writes `text` as folder\script.jsonl and gives its path.
std::filesystem::path WriteScript(const std::filesystem::path& folder, std::string_view text) {
  const std::filesystem::path path = folder / "script.jsonl";
  std::ofstream(path, std::ios::binary) << text;
  return path;
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

// One run of quorvanta.exe in `program_directory` as a user starts it: the current directory is
// `folder`, the engine's arguments name the UI script `script` and a copy of the transcript,
// folder\transcript.txt, and standard output and standard error go to files in `folder`. A
// program still running when the object goes is ended.
class StagedRun {
 public:
  StagedRun(const std::filesystem::path& program_directory, const std::filesystem::path& folder,
            const std::filesystem::path& script)
      : folder_(folder) {
    const base::ScopedFileHandle output = CreateInheritableFile(folder / "stdout.txt");
    const base::ScopedFileHandle errors = CreateInheritableFile(folder / "stderr.txt");
    if (!output.IsValid() || !errors.IsValid()) return;
    const std::filesystem::path program = program_directory / "quorvanta.exe";
    // None of these paths holds a quote or ends in a backslash, so plain quotes keep each whole.
    std::wstring command_line = L"\"" + program.wstring() + L"\" \"--ui-script=" +
                                script.wstring() + L"\" \"--ui-transcript=" +
                                (folder / "transcript.txt").wstring() + L"\"";
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
  ~StagedRun() {
    if (started() && WaitForSingleObject(process_.Get(), 0) == WAIT_TIMEOUT) End();
  }

  StagedRun(const StagedRun&) = delete;
  StagedRun& operator=(const StagedRun&) = delete;

  bool started() const { return process_.IsValid(); }
  DWORD process_id() const { return process_id_; }
  // Waits for the program to end; false when it did not start, or overran its time and was ended.
  [[nodiscard]] bool Finish() {
    if (!started()) return false;
    const bool in_time = WaitForSingleObject(process_.Get(), kRunTimeoutMs) == WAIT_OBJECT_0;
    if (!in_time) End();
    GetExitCodeProcess(process_.Get(), &exit_code_);
    return in_time;
  }
  // Valid once Finish has returned.
  DWORD exit_code() const { return exit_code_; }

  std::vector<std::string> Transcript() const { return ReadLines(folder_ / "transcript.txt"); }
  // The script ran to its end and every check held.
  bool Passed() const {
    const std::vector<std::string> lines = Transcript();
    return std::ranges::none_of(
               lines, [](const std::string& line) { return line.starts_with("FAILED"); }) &&
           std::ranges::find(lines, "done failures=0") != lines.end();
  }
  std::vector<std::string> OutputLines() const { return ReadLines(folder_ / "stdout.txt"); }
  std::vector<std::string> ErrorLines() const { return ReadLines(folder_ / "stderr.txt"); }
  // The exit code, the transcript and everything written, for a failure's message.
  std::string Describe() const {
    if (!started()) return "the program did not start";
    return "exit code " + std::to_string(exit_code_) + "\n" + Section("transcript", Transcript()) +
           Section("standard output", OutputLines()) + Section("standard error", ErrorLines());
  }

 private:
  void End() {
    TerminateProcess(process_.Get(), kEndedAfterTimeout);
    WaitForSingleObject(process_.Get(), 5000);
  }

  std::filesystem::path folder_;
  base::ScopedHandle process_;
  DWORD process_id_ = 0;
  DWORD exit_code_ = STILL_ACTIVE;
};

// Ends the children that the run started and that still run, openconnect.exe and xray.exe, and
// gives their ids.
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

// scripts/demo.jsonl, what scripts/demo plays: its own checks hold the event sequences, the
// answers, the screen size and the window closed to the background.
TEST(Demo, EveryCheckOfTheDemosScriptHoldsAndNoChildIsLeft) {
  const std::filesystem::path folder = CaseFolder("demo");
  StagedRun run(StageDirectory(), folder,
                (TestProgramDirectory() / END_TO_END_DEMO_SCRIPT_FROM_TEST).lexically_normal());
  const bool finished = run.Finish();
  const std::vector<DWORD> left = EndRunningChildren(run);

  ASSERT_TRUE(finished) << run.Describe();
  EXPECT_EQ(run.exit_code(), 0u) << run.Describe();
  EXPECT_TRUE(run.Passed()) << run.Describe();
  EXPECT_THAT(left, IsEmpty()) << "both connections were stopped";
  // The asset locations, the stage folder, are published before anything else (their lines are
  // checked in the shell's tests): the engine starts only after them.
  const std::vector<std::string> output = run.OutputLines();
  ASSERT_GE(output.size(), 5u) << run.Describe();
  const std::u8string stage = StageDirectory().u8string();
  EXPECT_EQ(output[2], "xray.location.asset = " + std::string(stage.begin(), stage.end()));
  EXPECT_THAT(output[4], StartsWith("arguments "));
  // On the suite's 96-DPI display the window has its logical place and size, and so has the
  // screenshot the demo saves of it.
  const std::vector<std::string> transcript = run.Transcript();
  EXPECT_THAT(transcript,
              Contains("window visible=1 foreground=1 x=10 y=10 width=360 height=690 minimized=0"));
  EXPECT_THAT(transcript, Contains("screenshot out/demo-connected.png 360x690"));
}

TEST(StartUp, WithoutTheAssetsFolderTheViewFailsAndTheProgramExitsOne) {
  const std::filesystem::path folder = CaseFolder("no_assets");
  const std::filesystem::path stage = folder / "stage";
  std::filesystem::copy(StageDirectory(), stage, std::filesystem::copy_options::recursive);
  std::filesystem::remove_all(stage / "data" / "flutter_assets");
  StagedRun run(stage, folder, WriteScript(folder, R"({"do":"destroy"})"));
  ASSERT_TRUE(run.Finish()) << run.Describe();

  EXPECT_EQ(run.exit_code(), 1u) << run.Describe();
  EXPECT_THAT(run.ErrorLines(), Contains("Failed to create view controller."));
  // The engine was made and dropped: no view, no plugins, no channels, no UI side.
  EXPECT_THAT(run.Transcript(), ElementsAre(StartsWith("arguments "))) << run.Describe();
}

// Worker threads are never joined and children are never terminated at exit: the program ends
// cleanly while both workers still wait on their children.
TEST(Shutdown, DestroyingTheWindowWhileChildrenRunExitsZeroAndLeavesThemRunning) {
  const std::filesystem::path folder = CaseFolder("shutdown");
  StagedRun run(StageDirectory(), folder, WriteScript(folder, R"(
{"do":"listen","channel":"openconnect_events","expect":null}
{"do":"listen","channel":"v2ray_events","expect":null}
{"do":"call","method":"toggleOpenConnect","args":["say=Using%20TAP-Windows%20device,sleep=30000","u","p"],"expect":0}
{"do":"expect_event","channel":"openconnect_events","value":4,"timeout_ms":20000}
{"do":"expect_event","channel":"openconnect_events","value":5,"timeout_ms":20000}
{"do":"call","method":"toggleV2ray","args":["","say=[Warning]%20core:%20Xray%20started,sleep=30000"],"expect":0}
{"do":"expect_event","channel":"v2ray_events","value":3,"timeout_ms":20000}
{"do":"expect_event","channel":"v2ray_events","value":8,"timeout_ms":20000}
{"do":"expect_event","channel":"v2ray_events","value":61,"timeout_ms":20000}
{"do":"destroy"})"));
  const bool finished = run.Finish();
  const std::vector<DWORD> left = EndRunningChildren(run);

  ASSERT_TRUE(finished) << run.Describe();
  EXPECT_EQ(run.exit_code(), 0u) << run.Describe();
  EXPECT_TRUE(run.Passed()) << run.Describe();
  const std::vector<std::string> transcript = run.Transcript();
  ASSERT_FALSE(transcript.empty());
  EXPECT_EQ(transcript.back(), "engine stopped");
  EXPECT_EQ(left.size(), 2u) << "both children still ran when the program ended";
}

}  // namespace
}  // namespace end_to_end
