#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <string>
#include <vector>

#include "base/log.h"
#include "shell/startup.h"
#include "shell/wide_to_utf8.h"
#include "tests/shell/child_role.h"
#include "tests/support/log_capture.h"

namespace shell_testing {
namespace {

using testing::ElementsAre;
using testing::HasSubstr;

// An install folder under a user profile whose name is not plain ASCII.
constexpr wchar_t kDirectory[] = L"C:\\Users\\Zo\u00eb\\Quorvanta";
constexpr char kDirectoryUtf8[] = "C:\\Users\\Zo\xC3\xAB\\Quorvanta";
constexpr char kVariableLines[] =
    "Setting environment variables:\n"
    "v2ray.location.asset = C:\\Users\\Zo\xC3\xAB\\Quorvanta\n"
    "xray.location.asset = C:\\Users\\Zo\xC3\xAB\\Quorvanta\n";

std::vector<std::wstring> tried_variables;

bool RefuseFirstVariable(const wchar_t* name, const std::wstring& /*value*/) {
  tried_variables.push_back(name);
  return false;
}

bool RefuseSecondVariable(const wchar_t* name, const std::wstring& /*value*/) {
  tried_variables.push_back(name);
  return tried_variables.size() < 2;
}

// Prints the two variables as this process inherited them.
int PrintAssetLocations() {
  for (const wchar_t* name : {L"v2ray.location.asset", L"xray.location.asset"}) {
    std::wstring value(32768, L'\0');
    value.resize(GetEnvironmentVariableW(name, value.data(), static_cast<DWORD>(value.size())));
    logging::Out(WideToUtf8(name) + " inherited " + WideToUtf8(value.c_str()));
  }
  return 0;
}

const bool kPrintAssetLocationsRegistered =
    RegisterChildRole("print-asset-locations", &PrintAssetLocations);

TEST(PublishAssetLocationsTest, WritesTheLinesAndSetsBothVariablesForEveryLaterChild) {
  ASSERT_TRUE(kPrintAssetLocationsRegistered);
  testing_support::LogCapture log;

  ASSERT_TRUE(PublishAssetLocations(kDirectory));

  EXPECT_EQ(log.Out(), std::string(kVariableLines) + "Environment variables set successfully.\n");
  EXPECT_EQ(log.Err(), "");
  const ChildRun child = RunSelfAs("print-asset-locations", L"", std::chrono::seconds(60));
  ASSERT_TRUE(child.exited_in_time);
  EXPECT_THAT(child.output,
              HasSubstr(std::string("v2ray.location.asset inherited ") + kDirectoryUtf8 + "\r\n"));
  EXPECT_THAT(child.output,
              HasSubstr(std::string("xray.location.asset inherited ") + kDirectoryUtf8 + "\r\n"));
}

TEST(PublishAssetLocationsTest, AVariableThatCannotBeSetEndsThePublishingThere) {
  testing_support::LogCapture log;
  tried_variables.clear();
  EXPECT_FALSE(PublishAssetLocations(kDirectory, &RefuseFirstVariable));
  EXPECT_THAT(tried_variables, ElementsAre(L"v2ray.location.asset"));
  EXPECT_EQ(log.Out(), kVariableLines);
  EXPECT_EQ(log.Err(), "Failed to set v2ray.location.asset\n");

  log.Clear();
  tried_variables.clear();
  EXPECT_FALSE(PublishAssetLocations(kDirectory, &RefuseSecondVariable));
  EXPECT_THAT(tried_variables, ElementsAre(L"v2ray.location.asset", L"xray.location.asset"));
  EXPECT_EQ(log.Out(), kVariableLines);
  EXPECT_EQ(log.Err(), "Failed to set xray.location.asset\n");
}

std::vector<UINT> dispatched;

LRESULT CALLBACK RecordMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message >= WM_APP) {
    dispatched.push_back(message);
    return 0;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

bool loop_timed_out = false;

void CALLBACK EndAStuckLoop(HWND, UINT, UINT_PTR, DWORD) {
  loop_timed_out = true;
  PostQuitMessage(99);
}

TEST(RunMessageLoopTest, DispatchesEveryMessageAndEndsOnlyWithTheQuitMessage) {
  WNDCLASSW window_class{};
  window_class.lpfnWndProc = &RecordMessage;
  window_class.hInstance = GetModuleHandleW(nullptr);
  window_class.lpszClassName = L"QuorvantaMessageLoopTest";
  ASSERT_NE(RegisterClassW(&window_class), 0);
  HWND window = CreateWindowExW(0, window_class.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                nullptr, GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(window, nullptr);
  const UINT_PTR guard = SetTimer(nullptr, 0, 20000, &EndAStuckLoop);
  dispatched.clear();

  PostMessageW(window, WM_APP + 1, 0, 0);
  // A message for the thread itself, with no window, is no reason to stop either.
  PostThreadMessageW(GetCurrentThreadId(), WM_NULL, 0, 0);
  PostMessageW(window, WM_APP + 2, 0, 0);
  PostQuitMessage(0);
  // The quit message comes only once the queue is empty, so this one still runs.
  PostMessageW(window, WM_APP + 3, 0, 0);
  RunMessageLoop();

  KillTimer(nullptr, guard);
  DestroyWindow(window);
  UnregisterClassW(window_class.lpszClassName, GetModuleHandleW(nullptr));
  EXPECT_FALSE(loop_timed_out);
  EXPECT_THAT(dispatched, ElementsAre(WM_APP + 1, WM_APP + 2, WM_APP + 3));
}

}  // namespace
}  // namespace shell_testing
