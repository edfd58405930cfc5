#include "stand_ins/embedder/transcript.h"

#include "base/log.h"

namespace stand_in {

Transcript::Transcript(size_t kept_lines) : kept_lines_(kept_lines) {}

void Transcript::SetCopy(FileOwner file) {
  std::lock_guard<std::mutex> hold(lock_);
  copy_ = std::move(file);
}

void Transcript::SetObserver(std::function<void()> observer) {
  std::lock_guard<std::mutex> hold(lock_);
  observer_ = std::move(observer);
}

void Transcript::Add(const std::string& line) {
  std::lock_guard<std::mutex> hold(lock_);
  // Under the lock, so that standard output, the copy and the history agree on the order.
  logging::Out(line);
  if (copy_) {
    std::fwrite(line.data(), 1, line.size(), copy_.get());
    std::fputc('\n', copy_.get());
    std::fflush(copy_.get());
  }
  latest_.push_back(line);
  while (latest_.size() > kept_lines_) latest_.pop_front();
  if (observer_) observer_();
}

std::vector<std::string> Transcript::Latest() const {
  std::lock_guard<std::mutex> hold(lock_);
  return {latest_.begin(), latest_.end()};
}

}  // namespace stand_in
