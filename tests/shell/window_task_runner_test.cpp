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
#include "tests/shell/message_pump.h"

namespace shell_testing {
namespace {

using testing::ElementsAre;

struct RanTask {
  int poster;
  int sequence;
  DWORD thread;
};

TEST(WindowTaskRunnerTest, RunsTasksFromOtherThreadsOnItsOwnThreadInPostingOrder) {
  const std::shared_ptr<WindowTaskRunner> runner = WindowTaskRunner::Create();
  ASSERT_NE(runner, nullptr);
  // Touched only by the tasks, which all run on this thread.
  std::vector<RanTask> ran;
  constexpr int kTasksPerPoster = 400;
  auto post_all = [&](int poster) {
    int accepted = 0;
    for (int sequence = 0; sequence < kTasksPerPoster; ++sequence) {
      accepted += runner->PostTask([&ran, poster, sequence] {
        ran.push_back(RanTask{poster, sequence, GetCurrentThreadId()});
      });
      if (sequence % 50 == 0) {
        std::this_thread::yield();
      }
    }
    return accepted;
  };
  // The two posters race each other and the loop that runs their tasks.
  std::future<int> first = std::async(std::launch::async, post_all, 0);
  std::future<int> second = std::async(std::launch::async, post_all, 1);
  ASSERT_TRUE(PumpMessagesUntil([&] { return ran.size() == 2 * kTasksPerPoster; }));
  EXPECT_EQ(first.get(), kTasksPerPoster);
  EXPECT_EQ(second.get(), kTasksPerPoster);

  std::vector<int> next(2, 0);
  for (const RanTask& task : ran) {
    EXPECT_EQ(task.sequence, next[task.poster]++) << "poster " << task.poster;
    EXPECT_EQ(task.thread, GetCurrentThreadId());
  }
}

TEST(WindowTaskRunnerTest, AfterStopRefusesEveryTaskAndDropsTheWaitingOnes) {
  std::shared_ptr<WindowTaskRunner> runner = WindowTaskRunner::Create();
  ASSERT_NE(runner, nullptr);
  int ran = 0;
  ASSERT_TRUE(runner->PostTask([&ran] { ++ran; }));

  runner->Stop();

  EXPECT_FALSE(runner->PostTask([&ran] { ++ran; }));
  EXPECT_FALSE(
      std::async(std::launch::async, [&] { return runner->PostTask([&ran] { ++ran; }); }).get());
  PumpMessagesFor(std::chrono::milliseconds(200));
  EXPECT_EQ(ran, 0);
  // A worker may hold the last reference once the runner has stopped.
  std::async(std::launch::async, [held = std::move(runner)]() mutable { held.reset(); }).get();
}

TEST(WindowTaskRunnerTest, ATaskThatStopsTheRunnerIsTheLastToRun) {
  const std::shared_ptr<WindowTaskRunner> runner = WindowTaskRunner::Create();
  ASSERT_NE(runner, nullptr);
  std::vector<int> ran;
  ASSERT_TRUE(runner->PostTask([&] {
    ran.push_back(1);
    runner->Stop();
  }));
  ASSERT_TRUE(runner->PostTask([&] { ran.push_back(2); }));

  ASSERT_TRUE(PumpMessagesUntil([&] { return !ran.empty(); }));
  PumpMessagesFor(std::chrono::milliseconds(100));
  EXPECT_THAT(ran, ElementsAre(1));
}

}  // namespace
}  // namespace shell_testing
