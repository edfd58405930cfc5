#include <windows.h>

#include <shellapi.h>

#include "base/scoped_win32.h"
#include "base/utf_conversion.h"
#include "stand_ins/scripted_child/child_io.h"

namespace stand_in {
namespace {

// The block GetEnvironmentStringsW hands out.
struct EnvironmentBlockTraits : base::NullMeansNoneTraits<wchar_t*> {
  static void Free(wchar_t* block) { FreeEnvironmentStringsW(block); }
};

}  // namespace

std::vector<std::string> CommandArguments(int /*argc*/, char** /*argv*/) {
  std::vector<std::string> arguments;
  int count = 0;
  const base::ScopedLocalMemory<wchar_t**> wide(CommandLineToArgvW(GetCommandLineW(), &count));
  if (!wide.IsValid()) {
    return arguments;
  }
  for (int i = 0; i < count; ++i) {
    arguments.push_back(base::WideToUtf8(wide.Get()[i]));
  }
  return arguments;
}

std::string RawCommandLine() { return base::WideToUtf8(GetCommandLineW()); }

std::vector<std::string> EnvironmentEntries() {
  std::vector<std::string> entries;
  const base::ScopedGeneric<EnvironmentBlockTraits> block(GetEnvironmentStringsW());
  if (!block.IsValid()) {
    return entries;
  }
  for (const wchar_t* entry = block.Get(); *entry != L'\0'; entry += wcslen(entry) + 1) {
    entries.push_back(base::WideToUtf8(entry));
  }
  return entries;
}

void WriteOutput(Output output, std::string_view bytes) {
  HANDLE handle =
      GetStdHandle(output == Output::kStandardOutput ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
  while (!bytes.empty()) {
    DWORD written = 0;
    if (!WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
        written == 0) {
      return;
    }
    bytes.remove_prefix(written);
  }
}

void CloseOutputs() {
  HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
  CloseHandle(output);
  // The parent may hand the same handle for both.
  if (error != output) {
    CloseHandle(error);
  }
}

size_t ReadInput(char* buffer, size_t size) {
  DWORD got = 0;
  if (!ReadFile(GetStdHandle(STD_INPUT_HANDLE), buffer, static_cast<DWORD>(size), &got, nullptr)) {
    return 0;
  }
  return got;
}

}  // namespace stand_in
