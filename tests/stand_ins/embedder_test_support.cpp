#include "tests/stand_ins/embedder_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace testing_support {

bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
  return true;
}

std::string TestFolder() {
  const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
  const std::string folder =
      std::string("test_output/") + test->test_suite_name() + "." + test->name() + "/";
  static std::string emptied;
  if (emptied != folder) {
    std::filesystem::remove_all(folder);
    emptied = folder;
  }
  std::filesystem::create_directories(folder);
  return folder;
}

std::string ReadText(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::string WriteScript(const std::string& text) {
  const std::string path = TestFolder() + "ui.jsonl";
  std::ofstream(path, std::ios::binary) << text;
  return path;
}

TestEngine::TestEngine(std::vector<std::string> arguments, const wchar_t* assets_path)
    : transcript_path(TestFolder() + "made/transcript.txt") {
  arguments.insert(arguments.begin(), "--ui-transcript=" + transcript_path);
  std::vector<const char*> argv;
  for (const std::string& argument : arguments) argv.push_back(argument.c_str());
  FlutterDesktopEngineProperties properties{};
  properties.assets_path = assets_path;
  properties.dart_entrypoint_argc = static_cast<int>(argv.size());
  properties.dart_entrypoint_argv = argv.data();
  engine = FlutterDesktopEngineCreate(&properties);
  for (std::string& argument : arguments) argument.assign(argument.size(), 'x');
}

std::vector<std::string> TestEngine::Transcript() const {
  std::vector<std::string> lines;
  std::istringstream stream(ReadText(transcript_path));
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  return lines;
}

bool TestEngine::WaitForLine(const std::string& line, std::chrono::milliseconds timeout) const {
  return PumpUntil(
      [&] {
        const std::vector<std::string> lines = Transcript();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
      },
      timeout);
}

}  // namespace testing_support
