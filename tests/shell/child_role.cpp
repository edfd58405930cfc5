#include "tests/shell/child_role.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <string_view>

#include "base/scoped_win32.h"
#include "tests/shell/message_pump.h"

namespace shell_testing {
namespace {

constexpr std::string_view kRoleFlag = "--child-role=";

std::map<std::string, ChildRole>& Roles() {
  static std::map<std::string, ChildRole> roles;
  return roles;
}

std::wstring OwnPath() {
  std::wstring path(32768, L'\0');
  const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
  path.resize(length);
  return path;
}

// Moves whatever the child has written so far from the pipe into `output`, without blocking.
void DrainPipe(HANDLE pipe, std::string* output) {
  for (;;) {
    DWORD available = 0;
    if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) || available == 0) {
      return;
    }
    std::string chunk(available, '\0');
    DWORD read = 0;
    if (!ReadFile(pipe, chunk.data(), available, &read, nullptr) || read == 0) {
      return;
    }
    output->append(chunk.data(), read);
  }
}

}  // namespace

bool RegisterChildRole(const char* name, ChildRole run) {
  return Roles().emplace(name, run).second;
}

int RunChildRoleOrTests(int argc, char** argv) {
  if (argc > 1) {
    const std::string_view first(argv[1]);
    if (first.starts_with(kRoleFlag)) {
      const auto role = Roles().find(std::string(first.substr(kRoleFlag.size())));
      return role != Roles().end() ? role->second() : 100;
    }
  }
  testing::InitGoogleMock(&argc, argv);
  return RUN_ALL_TESTS();
}

ChildRun RunSelfAs(const char* role, const std::wstring& extra_arguments,
                   std::chrono::milliseconds timeout, DWORD creation_flags) {
  ChildRun run;

  SECURITY_ATTRIBUTES inheritable{sizeof(inheritable), nullptr, TRUE};
  HANDLE read_end = nullptr;
  HANDLE write_end = nullptr;
  if (!CreatePipe(&read_end, &write_end, &inheritable, 0)) {
    return run;
  }
  const base::ScopedHandle reader(read_end);
  base::ScopedHandle writer(write_end);
  // Only the child's end is inherited.
  SetHandleInformation(reader.Get(), HANDLE_FLAG_INHERIT, 0);

  const std::string_view role_name(role);
  std::wstring command_line = L"\"" + OwnPath() + L"\" --child-role=";
  command_line.append(role_name.begin(), role_name.end());
  if (!extra_arguments.empty()) {
    command_line += L" " + extra_arguments;
  }

  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = writer.Get();
  startup.hStdError = writer.Get();
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, command_line.data(), nullptr, nullptr, TRUE, creation_flags, nullptr,
                      nullptr, &startup, &process)) {
    return run;
  }
  const base::ScopedHandle child(process.hProcess);
  const base::ScopedHandle child_thread(process.hThread);
  // Our copy of the write end would keep the pipe open after the child is gone.
  writer.Reset();

  run.exited_in_time = PumpMessagesUntil(
      [&] {
        DrainPipe(reader.Get(), &run.output);
        return WaitForSingleObject(child.Get(), 0) == WAIT_OBJECT_0;
      },
      timeout);
  if (!run.exited_in_time) {
    TerminateProcess(child.Get(), 99);
    WaitForSingleObject(child.Get(), 5000);
  }
  DrainPipe(reader.Get(), &run.output);
  GetExitCodeProcess(child.Get(), &run.exit_code);
  return run;
}

}  // namespace shell_testing
