#ifndef QUORVANTA_STAND_INS_EMBEDDER_TRANSCRIPT_H_
#define QUORVANTA_STAND_INS_EMBEDDER_TRANSCRIPT_H_

#include <cstdio>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace stand_in {

// What the UI side saw, a line at a time. Each line goes to standard output at once, to a copy
// file when one is set, and into a short history that the view paints. Any thread may add lines.
class Transcript {
 public:
  using FileOwner = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

  explicit Transcript(size_t kept_lines);

  Transcript(const Transcript&) = delete;
  Transcript& operator=(const Transcript&) = delete;

  // Also writes every further line to `file`.
  void SetCopy(FileOwner file);

  // Called after each line, under the transcript's lock (keep it short and non-blocking); an
  // empty function removes it.
  void SetObserver(std::function<void()> observer);

  void Add(const std::string& line);

  // The latest lines, oldest first.
  std::vector<std::string> Latest() const;

 private:
  const size_t kept_lines_;
  mutable std::mutex lock_;
  std::deque<std::string> latest_;
  FileOwner copy_{nullptr, &std::fclose};
  std::function<void()> observer_;
};

}  // namespace stand_in

#endif  // QUORVANTA_STAND_INS_EMBEDDER_TRANSCRIPT_H_
