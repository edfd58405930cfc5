#include "shell/startup.h"

#include <windows.h>

#include <stdlib.h>

#include "base/log.h"
#include "base/utf_conversion.h"
#include "shell/debug_console.h"

namespace {

constexpr const wchar_t* kAssetLocationVariables[] = {L"v2ray.location.asset",
                                                      L"xray.location.asset"};

}  // namespace

bool SetProcessEnvironmentVariable(const wchar_t* name, const std::wstring& value) {
  // The wide call: a narrow value would pass through the ANSI code page and reach the children
  // garbled wherever the folder's name is not plain ASCII.
  return _wputenv_s(name, value.c_str()) == 0;
}

bool PublishAssetLocations(const std::wstring& directory, EnvironmentSetter set) {
  const std::string directory_text = base::WideToUtf8(directory.c_str());
  logging::Out("Setting environment variables:");
  for (const wchar_t* name : kAssetLocationVariables) {
    logging::Out(base::WideToUtf8(name) + " = " + directory_text);
  }
  for (const wchar_t* name : kAssetLocationVariables) {
    if (!set(name, directory)) {
      logging::Err("Failed to set " + base::WideToUtf8(name));
      return false;
    }
  }
  logging::Out("Environment variables set successfully.");
  return true;
}

void AttachConsoleWhereUseful() {
  if (!AttachConsole(ATTACH_PARENT_PROCESS) && IsDebuggerPresent()) {
    OpenDebugConsole();
  }
}

void RunMessageLoop() {
  MSG message;
  for (;;) {
    const BOOL fetched = GetMessageW(&message, nullptr, 0, 0);
    if (fetched == 0) {
      return;
    }
    // A failed fetch fills in no message; dispatching would repeat the previous one.
    if (fetched == -1) {
      continue;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}
