#include "stand_ins/embedder/queues.h"

#include <utility>

namespace stand_in {

void UiInbox::Push(UiItem item) {
  {
    std::lock_guard<std::mutex> hold(lock_);
    items_.push_back(std::move(item));
  }
  changed_.notify_all();
}

std::deque<UiItem> UiInbox::Wait(std::chrono::steady_clock::time_point deadline) {
  std::unique_lock<std::mutex> hold(lock_);
  changed_.wait_until(hold, deadline, [this] { return stop_ || !items_.empty(); });
  return std::exchange(items_, {});
}

std::deque<UiItem> UiInbox::TakeAll() {
  std::lock_guard<std::mutex> hold(lock_);
  return std::exchange(items_, {});
}

void UiInbox::RequestStop() {
  {
    std::lock_guard<std::mutex> hold(lock_);
    stop_ = true;
  }
  changed_.notify_all();
}

bool UiInbox::stop_requested() const {
  std::lock_guard<std::mutex> hold(lock_);
  return stop_;
}

void HostQueue::SetWake(std::function<void()> wake) {
  std::lock_guard<std::mutex> hold(lock_);
  wake_ = std::move(wake);
  if (wake_ && !items_.empty()) wake_();
}

bool HostQueue::Push(HostItem item) {
  std::lock_guard<std::mutex> hold(lock_);
  if (closed_) return false;
  items_.push_back(std::move(item));
  if (wake_) wake_();
  return true;
}

std::optional<HostItem> HostQueue::Pop() {
  std::lock_guard<std::mutex> hold(lock_);
  if (closed_ || items_.empty()) return std::nullopt;
  HostItem item = std::move(items_.front());
  items_.pop_front();
  return item;
}

void HostQueue::Close() {
  std::deque<HostItem> dropped;
  {
    std::lock_guard<std::mutex> hold(lock_);
    closed_ = true;
    wake_ = nullptr;
    dropped.swap(items_);
  }
}

}  // namespace stand_in
