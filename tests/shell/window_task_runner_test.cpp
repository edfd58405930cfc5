#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <future>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

#include "shell/window_task_runner.h"
#include "tests/shell/shell_test_helpers.h"

namespace shell_testing {
namespace {

TEST(WindowTaskRunnerTest, RunsTasksFromAnotherThreadOnItsOwnThreadInPostingOrder) {
  const std::shared_ptr<WindowTaskRunner> runner = WindowTaskRunner::Create();
  ASSERT_NE(runner, nullptr);
  // The sequence numbers of the tasks as they ran (-1 on another thread).
  std::vector<int> ran;
  const DWORD own_thread = GetCurrentThreadId();
  constexpr int kTasks = 800;
  // The poster races the loop that runs its tasks.
  std::future<int> poster = std::async(std::launch::async, [&] {
    int accepted = 0;
    for (int sequence = 0; sequence < kTasks; ++sequence) {
      accepted += runner->PostTask([&ran, sequence, own_thread] {
        ran.push_back(GetCurrentThreadId() == own_thread ? sequence : -1);
      });
      if (sequence % 50 == 0) std::this_thread::yield();
    }
    return accepted;
  });
  ASSERT_TRUE(PumpMessagesUntil([&] { return ran.size() == kTasks; }));
  EXPECT_EQ(poster.get(), kTasks);
  for (int index = 0; index < kTasks; ++index) EXPECT_EQ(ran[index], index);
}

TEST(WindowTaskRunnerTest, AfterStopRefusesEveryTaskAndDropsTheWaitingOnes) {
  std::shared_ptr<WindowTaskRunner> runner = WindowTaskRunner::Create();
  ASSERT_NE(runner, nullptr);
  std::vector<int> ran;
  // A task that stops the runner is the last to run; the one after it is dropped.
  ASSERT_TRUE(runner->PostTask([&] {
    ran.push_back(1);
    runner->Stop();
  }));
  ASSERT_TRUE(runner->PostTask([&] { ran.push_back(2); }));
  ASSERT_TRUE(PumpMessagesUntil([&] { return !ran.empty(); }));

  EXPECT_FALSE(runner->PostTask([&] { ran.push_back(3); }));
  EXPECT_FALSE(std::async(std::launch::async, [&] {
                 return runner->PostTask([&] { ran.push_back(4); });
               }).get());
  PumpMessagesFor(std::chrono::milliseconds(200));
  EXPECT_THAT(ran, testing::ElementsAre(1));
  // A worker may hold the last reference once the runner has stopped.
  std::async(std::launch::async, [held = std::move(runner)]() mutable { held.reset(); }).get();
}

}  // namespace
}  // namespace shell_testing
