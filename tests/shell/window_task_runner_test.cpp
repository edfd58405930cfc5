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

TEST(WindowTaskRunnerTest, RunsTasksFromOtherThreadsOnItsOwnThreadInPostingOrder) {
  const std::shared_ptr<WindowTaskRunner> runner = WindowTaskRunner::Create();
  ASSERT_NE(runner, nullptr);
  // Per poster, the sequence numbers of its tasks as they ran (-1 on another thread).
  std::vector<int> ran[2];
  const DWORD own_thread = GetCurrentThreadId();
  constexpr int kTasksPerPoster = 400;
  auto post_all = [&](int poster) {
    int accepted = 0;
    for (int sequence = 0; sequence < kTasksPerPoster; ++sequence) {
      accepted += runner->PostTask([&ran, poster, sequence, own_thread] {
        ran[poster].push_back(GetCurrentThreadId() == own_thread ? sequence : -1);
      });
      if (sequence % 50 == 0) std::this_thread::yield();
    }
    return accepted;
  };
  // The two posters race each other and the loop that runs their tasks.
  std::future<int> first = std::async(std::launch::async, post_all, 0);
  std::future<int> second = std::async(std::launch::async, post_all, 1);
  ASSERT_TRUE(
      PumpMessagesUntil([&] { return ran[0].size() + ran[1].size() == 2 * kTasksPerPoster; }));
  EXPECT_EQ(first.get() + second.get(), 2 * kTasksPerPoster);
  for (const std::vector<int>& sequences : ran) {
    for (int index = 0; index < kTasksPerPoster; ++index) EXPECT_EQ(sequences.at(index), index);
  }
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
