#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string_view>

#include "base/scoped_win32.h"
#include "tests/shell/shell_test_helpers.h"

namespace shell_testing {
namespace {

constexpr std::string_view kRoleFlag = "--child-role=";

std::map<std::string, int (*)(), std::less<>>& Roles() {
  static std::map<std::string, int (*)(), std::less<>> roles;
  return roles;
}

}  // namespace

bool RegisterChildRole(const char* name, int (*run)()) { return Roles().emplace(name, run).second; }

ChildRun RunSelfAs(const char* role, DWORD creation_flags) {
  ChildRun run;
  SECURITY_ATTRIBUTES inheritable{sizeof(inheritable), nullptr, TRUE};
  HANDLE read_end = nullptr;
  HANDLE write_end = nullptr;
  if (!CreatePipe(&read_end, &write_end, &inheritable, 0)) return run;
  const base::ScopedHandle reader(read_end);
  base::ScopedHandle writer(write_end);
  // Only the child's end is inherited.
  SetHandleInformation(reader.Get(), HANDLE_FLAG_INHERIT, 0);

  std::wstring command_line(32768, L'\0');
  command_line.resize(
      GetModuleFileNameW(nullptr, command_line.data(), static_cast<DWORD>(command_line.size())));
  command_line = L"\"" + command_line + L"\" --child-role=";
  command_line.append(role, role + std::strlen(role));
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = startup.hStdError = writer.Get();
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, command_line.data(), nullptr, nullptr, TRUE, creation_flags, nullptr,
                      nullptr, &startup, &process)) {
    return run;
  }
  const base::ScopedHandle child(process.hProcess);
  const base::ScopedHandle child_thread(process.hThread);
  // Our copy of the write end would keep the pipe open after the child is gone.
  writer.Reset();

  // The roles write little, well within the pipe's buffer, so it is read once the child is gone.
  run.exited_in_time =
      PumpMessagesUntil([&] { return WaitForSingleObject(child.Get(), 0) == WAIT_OBJECT_0; },
                        std::chrono::minutes(1));
  if (!run.exited_in_time) {
    TerminateProcess(child.Get(), 99);
    WaitForSingleObject(child.Get(), 5000);
  }
  GetExitCodeProcess(child.Get(), &run.exit_code);
  char chunk[4096];
  DWORD read = 0;
  while (ReadFile(reader.Get(), chunk, sizeof(chunk), &read, nullptr) && read > 0) {
    run.output.append(chunk, read);
  }
  return run;
}

}  // namespace shell_testing

// Runs the role named on the command line, or else the tests.
int main(int argc, char** argv) {
  if (argc > 1 && std::string_view(argv[1]).starts_with(shell_testing::kRoleFlag)) {
    const auto role = shell_testing::Roles().find(
        std::string_view(argv[1]).substr(shell_testing::kRoleFlag.size()));
    return role != shell_testing::Roles().end() ? role->second() : 100;
  }
  testing::InitGoogleMock(&argc, argv);
  return RUN_ALL_TESTS();
}
