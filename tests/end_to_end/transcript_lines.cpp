#include "tests/end_to_end/transcript_lines.h"

#include <algorithm>
#include <fstream>
#include <iterator>

namespace end_to_end {

std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.emplace_back(line);
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return lines;
}

TranscriptLines TranscriptLines::FromFile(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  const std::string text{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  return TranscriptLines(text);
}

std::vector<std::string> TranscriptLines::Events(std::string_view channel) const {
  const std::string prefix = "event " + std::string(channel) + " ";
  std::vector<std::string> values;
  for (const std::string& line : lines_) {
    if (line.starts_with(prefix)) values.push_back(line.substr(prefix.size()));
  }
  return values;
}

std::vector<std::string> TranscriptLines::Failures() const {
  std::vector<std::string> failures;
  std::copy_if(lines_.begin(), lines_.end(), std::back_inserter(failures),
               [](const std::string& line) { return line.starts_with("FAILED"); });
  return failures;
}

bool TranscriptLines::Passed() const {
  return Failures().empty() &&
         std::find(lines_.begin(), lines_.end(), "done failures=0") != lines_.end();
}

std::vector<std::string> TranscriptLines::After(std::string_view line) const {
  const auto found = std::find(lines_.begin(), lines_.end(), line);
  return found == lines_.end() ? std::vector<std::string>{}
                               : std::vector<std::string>(found + 1, lines_.end());
}

std::string TranscriptLines::Text() const {
  std::string text;
  for (const std::string& line : lines_) text += line + "\n";
  return text;
}

}  // namespace end_to_end
