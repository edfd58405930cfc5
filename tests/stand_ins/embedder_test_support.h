#ifndef QUORVANTA_TESTS_STAND_INS_EMBEDDER_TEST_SUPPORT_H_
#define QUORVANTA_TESTS_STAND_INS_EMBEDDER_TEST_SUPPORT_H_

#include <windows.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "shell/embedder/embedder_api.h"

namespace testing_support {

// Runs this thread's window messages until `done` holds or the time-out passes; returns `done`.
bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);
inline void PumpFor(std::chrono::milliseconds duration) {
  PumpUntil([] { return false; }, duration);
}

// The running test's own folder, relative to the current directory, with a trailing slash;
// emptied on the test's first call.
std::string TestFolder();
std::string ReadText(const std::string& path);
// Writes `text` as the test's script, "ui.jsonl" in its folder, and gives the script's path.
std::string WriteScript(const std::string& text);

// An engine created as the program creates it, with `arguments` after one that copies the
// transcript to a file in a subfolder of the test's folder, which the engine makes. Its argument
// strings are overwritten once it exists, as the program frees them, so every test that runs a
// script shows that the engine keeps copies.
struct TestEngine {
  explicit TestEngine(std::vector<std::string> arguments = {},
                      const wchar_t* assets_path = L"data\\flutter_assets");

  FlutterDesktopViewControllerRef CreateView() const {
    return FlutterDesktopViewControllerCreate(100, 80, engine);
  }
  std::vector<std::string> Transcript() const;
  // Pumps messages until the transcript has `line`.
  bool WaitForLine(const std::string& line,
                   std::chrono::milliseconds timeout = std::chrono::seconds(20)) const;

  std::string transcript_path;
  FlutterDesktopEngineRef engine = nullptr;
};

}  // namespace testing_support

#endif  // QUORVANTA_TESTS_STAND_INS_EMBEDDER_TEST_SUPPORT_H_
