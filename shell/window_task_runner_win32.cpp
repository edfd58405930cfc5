#include "shell/window_task_runner.h"

#include <utility>

namespace {

constexpr wchar_t kWindowClassName[] = L"QUORVANTA_TASK_RUNNER_WINDOW";
// Wakes the runner's window: tasks are waiting.
constexpr UINT kRunTasksMessage = WM_APP + 1;

}  // namespace

std::shared_ptr<WindowTaskRunner> WindowTaskRunner::Create() {
  // Registered once for the process, and kept: runners may come and go.
  static const bool class_registered = [] {
    WNDCLASSW window_class{};
    window_class.lpfnWndProc = &WindowTaskRunner::WindowProcedure;
    window_class.hInstance = GetModuleHandleW(nullptr);
    window_class.lpszClassName = kWindowClassName;
    return RegisterClassW(&window_class) != 0;
  }();
  if (!class_registered) {
    return nullptr;
  }
  std::shared_ptr<WindowTaskRunner> runner(new WindowTaskRunner());
  // Message-only: never shown, receives no broadcasts, only our wake-ups.
  runner->window_.Reset(CreateWindowExW(0, kWindowClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                        nullptr, GetModuleHandleW(nullptr), nullptr));
  if (!runner->window_.IsValid()) {
    return nullptr;
  }
  SetWindowLongPtrW(runner->window_.Get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(runner.get()));
  return runner;
}

WindowTaskRunner::~WindowTaskRunner() { Stop(); }

bool WindowTaskRunner::PostTask(std::function<void()> task) {
  std::lock_guard<std::mutex> hold(lock_);
  if (stopped_) {
    return false;
  }
  // Posted under the lock, so that Stop cannot destroy the window in between.
  if (!wake_posted_) {
    if (!PostMessageW(window_.Get(), kRunTasksMessage, 0, 0)) {
      return false;
    }
    wake_posted_ = true;
  }
  tasks_.push_back(std::move(task));
  return true;
}

void WindowTaskRunner::Stop() {
  std::deque<std::function<void()>> dropped;
  {
    std::lock_guard<std::mutex> hold(lock_);
    stopped_ = true;
    dropped.swap(tasks_);
  }
  if (window_.IsValid()) {
    // A wake-up still queued for the window finds no runner, whichever thread got here.
    SetWindowLongPtrW(window_.Get(), GWLP_USERDATA, 0);
    window_.Reset();
  }
}

void WindowTaskRunner::RunWaitingTasks() {
  // A task may drop the last other reference to this runner.
  const std::shared_ptr<WindowTaskRunner> self = weak_from_this().lock();
  if (self == nullptr) {
    return;
  }
  size_t waiting = 0;
  {
    std::lock_guard<std::mutex> hold(lock_);
    wake_posted_ = false;
    waiting = tasks_.size();
  }
  for (; waiting > 0; --waiting) {
    std::function<void()> task;
    {
      std::lock_guard<std::mutex> hold(lock_);
      if (stopped_ || tasks_.empty()) {
        return;
      }
      task = std::move(tasks_.front());
      tasks_.pop_front();
    }
    task();
  }
}

LRESULT CALLBACK WindowTaskRunner::WindowProcedure(HWND window, UINT message, WPARAM wparam,
                                                   LPARAM lparam) {
  if (message == kRunTasksMessage) {
    auto* runner = reinterpret_cast<WindowTaskRunner*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (runner != nullptr) {
      runner->RunWaitingTasks();
    }
    return 0;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}
