#include <windows.h>

#include <shellapi.h>

#include "stand_ins/scripted_child/child_io.h"

namespace stand_in {
namespace {

std::string Utf8(const wchar_t* text, int units) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, text, units, nullptr, 0, nullptr, nullptr);
  std::string utf8(size > 0 ? static_cast<size_t>(size) : 0, '\0');
  if (size > 0) {
    WideCharToMultiByte(CP_UTF8, 0, text, units, utf8.data(), size, nullptr, nullptr);
  }
  return utf8;
}

std::string Utf8(const wchar_t* text) { return Utf8(text, static_cast<int>(wcslen(text))); }

}  // namespace

std::vector<std::string> CommandArguments(int /*argc*/, char** /*argv*/) {
  std::vector<std::string> arguments;
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr) {
    return arguments;
  }
  for (int i = 0; i < count; ++i) {
    arguments.push_back(Utf8(wide[i]));
  }
  LocalFree(wide);
  return arguments;
}

std::string RawCommandLine() { return Utf8(GetCommandLineW()); }

std::vector<std::string> EnvironmentEntries() {
  std::vector<std::string> entries;
  wchar_t* block = GetEnvironmentStringsW();
  if (block == nullptr) {
    return entries;
  }
  for (const wchar_t* entry = block; *entry != L'\0'; entry += wcslen(entry) + 1) {
    entries.push_back(Utf8(entry));
  }
  FreeEnvironmentStringsW(block);
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
