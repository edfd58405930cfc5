#include "stand_ins/scripted_child/scripted_child.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <thread>

#include "stand_ins/scripted_child/child_io.h"

namespace stand_in {
namespace {

std::string PercentDecode(std::string_view text) {
  std::string decoded;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size()) {
      const std::string hex(text.substr(i + 1, 2));
      decoded.push_back(static_cast<char>(std::strtol(hex.c_str(), nullptr, 16)));
      i += 2;
    } else {
      decoded.push_back(text[i]);
    }
  }
  return decoded;
}

std::filesystem::path Utf8Path(const std::string& text) {
  return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

void WriteFile(const std::filesystem::path& path, const std::string& bytes,
               std::ios::openmode mode = std::ios::trunc) {
  std::ofstream file(path, std::ios::binary | std::ios::out | mode);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ZeroEnded(const std::vector<std::string>& items) {
  std::string joined;
  for (const std::string& item : items) {
    joined += item;
    joined.push_back('\0');
  }
  return joined;
}

class Script {
 public:
  explicit Script(std::vector<std::string> arguments) : arguments_(std::move(arguments)) {}

  // Returns false when the script asks to end at once, with `exit_code`.
  bool Step(std::string_view verb, const std::string& value) {
    if (verb == "report") {
      Report(Utf8Path(value));
    } else if (verb == "say") {
      WriteOutput(Output::kStandardOutput, value);
    } else if (verb == "err") {
      WriteOutput(Output::kStandardError, value);
    } else if (verb == "burst") {
      const size_t colon = value.find(':');
      const size_t filler = std::strtoul(value.substr(0, colon).c_str(), nullptr, 10);
      const std::string text = colon == std::string::npos ? "" : value.substr(colon + 1);
      WriteOutput(Output::kStandardOutput, std::string(filler, '#') + text);
    } else if (verb == "stamp") {
      const auto now = std::chrono::steady_clock::now().time_since_epoch();
      WriteOutput(Output::kStandardOutput, value);
      Record("stamps", std::to_string(std::chrono::nanoseconds(now).count()) + "\n");
    } else if (verb == "ask") {
      ReadStandardInput(/*until_line_end=*/true);
    } else if (verb == "drain") {
      ReadStandardInput(/*until_line_end=*/false);
    } else if (verb == "echo") {
      Echo();
    } else if (verb == "closeout") {
      CloseOutputs();
    } else if (verb == "sleep") {
      std::this_thread::sleep_for(std::chrono::milliseconds(std::atol(value.c_str())));
    } else if (verb == "await") {
      AwaitFile(Utf8Path(value));
    } else if (verb == "exit") {
      exit_code_ = std::atoi(value.c_str());
      return false;
    } else {
      exit_code_ = 2;
      return false;
    }
    return true;
  }

  int exit_code() const { return exit_code_; }

 private:
  void Report(const std::filesystem::path& directory) {
    report_ = directory;
    WriteFile(directory / "args", ZeroEnded(arguments_));
    WriteFile(directory / "cmdline", RawCommandLine());
    std::error_code error;
    WriteFile(directory / "cwd", reinterpret_cast<const char*>(
                                     std::filesystem::current_path(error).u8string().c_str()));
    WriteFile(directory / "env", ZeroEnded(EnvironmentEntries()));
    WriteFile(directory / "stdin", "");
  }

  void Record(const char* name, const std::string& bytes) {
    if (!report_.empty()) {
      WriteFile(report_ / name, bytes, std::ios::app);
    }
  }

  void ReadStandardInput(bool until_line_end) {
    char byte = 0;
    while (ReadInput(&byte, 1) == 1) {
      Record("stdin", std::string(1, byte));
      if (until_line_end && byte == '\n') {
        return;
      }
    }
  }

  static void AwaitFile(const std::filesystem::path& path) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
    std::error_code error;
    while (!std::filesystem::exists(path, error) && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }

  static void Echo() {
    char buffer[4096];
    for (size_t got; (got = ReadInput(buffer, sizeof(buffer))) > 0;) {
      WriteOutput(Output::kStandardOutput, std::string_view(buffer, got));
    }
  }

  std::vector<std::string> arguments_;
  std::filesystem::path report_;
  int exit_code_ = 0;
};

}  // namespace

int RunScriptedChild(const std::vector<std::string>& arguments, size_t first_script_argument) {
  std::string text;
  for (size_t i = first_script_argument; i < arguments.size(); ++i) {
    text += (i > first_script_argument ? " " : "") + arguments[i];
  }
  Script script(arguments);
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(',', start);
    if (end == std::string::npos) {
      end = text.size();
    }
    const std::string_view step = std::string_view(text).substr(start, end - start);
    const size_t equals = step.find('=');
    const std::string_view verb = step.substr(0, equals);
    const std::string value =
        equals == std::string_view::npos ? "" : PercentDecode(step.substr(equals + 1));
    if (!step.empty() && !script.Step(verb, value)) {
      break;
    }
    start = end + 1;
  }
  return script.exit_code();
}

}  // namespace stand_in
