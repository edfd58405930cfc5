#ifndef QUORVANTA_TESTS_END_TO_END_TRANSCRIPT_LINES_H_
#define QUORVANTA_TESTS_END_TO_END_TRANSCRIPT_LINES_H_

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace end_to_end {

// Splits text into lines, LF or CR LF ended; a last line without an end counts too.
std::vector<std::string> SplitLines(std::string_view text);

// The transcript that the stand-in engine's UI side wrote: what it sent, received and checked.
class TranscriptLines {
 public:
  explicit TranscriptLines(std::string_view text) : lines_(SplitLines(text)) {}
  static TranscriptLines FromFile(const std::filesystem::path& path);

  const std::vector<std::string>& lines() const { return lines_; }
  // The values of the events that arrived on `channel`, in order, as the transcript writes them.
  std::vector<std::string> Events(std::string_view channel) const;
  std::vector<std::string> Failures() const;
  // The script ran to its end and every check held.
  bool Passed() const;
  // The lines after the first one equal to `line`; empty when there is none.
  std::vector<std::string> After(std::string_view line) const;
  std::string Text() const;

 private:
  std::vector<std::string> lines_;
};

}  // namespace end_to_end

#endif  // QUORVANTA_TESTS_END_TO_END_TRANSCRIPT_LINES_H_
