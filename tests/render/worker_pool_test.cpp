// The render threads a preview keeps: every index runs each job exactly once
// on its own thread for the pool's whole life, a job's exception reaches the
// caller, and the pool ends cleanly whatever it did. ThreadSanitizer runs
// these: a caller reading what the workers wrote after Run must be ordered
// after their writes.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <stdexcept>
#include <thread>
#include <vector>

#include "hostapp/render/worker_pool.h"
#include "tests/live_threads.h"

namespace tess::test {
namespace {

using render::WorkerPool;

// A joined thread may stay listed for a moment while the kernel reaps it:
// the count, once it is `expected` or after ten seconds.
size_t LiveThreadsOnceAt(size_t expected) {
  for (int i = 0; i < 10000 && LiveThreads() != expected; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return LiveThreads();
}

int MyPriority() {
  return getpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)));
}

TEST(WorkerPool, EveryIndexRunsEachJobOnceOnItsOwnThread) {
  constexpr int threads = 4, jobs = 300;
  const uint64_t startedBefore = WorkerPool::ThreadsStarted();
  WorkerPool pool(threads, false);
  ASSERT_EQ(pool.Threads(), threads);
  // Plain values: each slot is written by one worker and read after Run.
  std::vector<int> runs(threads, 0);
  std::vector<std::thread::id> owner(threads);
  for (int job = 0; job < jobs; ++job) {
    pool.Run([&](int index) {
      ++runs[static_cast<size_t>(index)];
      if (job == 0) owner[static_cast<size_t>(index)] = std::this_thread::get_id();
      EXPECT_EQ(owner[static_cast<size_t>(index)], std::this_thread::get_id()) << "index " << index << " job " << job;
    });
    for (int i = 0; i < threads; ++i) ASSERT_EQ(runs[static_cast<size_t>(i)], job + 1) << "index " << i;
  }
  for (int i = 0; i < threads; ++i) {
    EXPECT_NE(owner[static_cast<size_t>(i)], std::this_thread::get_id());
    for (int k = 0; k < i; ++k) EXPECT_NE(owner[static_cast<size_t>(i)], owner[static_cast<size_t>(k)]);
  }
  EXPECT_EQ(WorkerPool::ThreadsStarted() - startedBefore, static_cast<uint64_t>(threads));
}

TEST(WorkerPool, EndsItsThreadsWithOrWithoutAJob) {
  // A sanitizer's runtime starts a thread of its own with the process's
  // second: that one comes before the count.
  pid_t first = 0;
  std::thread([&] { first = static_cast<pid_t>(syscall(SYS_gettid)); }).join();
  const std::string listed = "/proc/self/task/" + std::to_string(first);
  for (int i = 0; i < 10000 && access(listed.c_str(), F_OK) == 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  const size_t before = LiveThreads();
  { WorkerPool idle(3, true); }
  EXPECT_EQ(LiveThreadsOnceAt(before), before);
  {
    WorkerPool used(3, false);
    EXPECT_EQ(LiveThreadsOnceAt(before + 3), before + 3);
    int sum = 0;
    std::mutex lock;
    used.Run([&](int index) {
      std::lock_guard<std::mutex> guard(lock);
      sum += index + 1;
    });
    EXPECT_EQ(sum, 1 + 2 + 3);
  }
  EXPECT_EQ(LiveThreadsOnceAt(before), before);
}

TEST(WorkerPool, AJobsExceptionIsRethrownToTheCallerAfterEveryWorkerFinished) {
  WorkerPool pool(4, false);
  std::vector<int> runs(4, 0);
  const auto failing = [&](int index) {
    ++runs[static_cast<size_t>(index)];
    if (index == 2) throw std::runtime_error("worker 2 failed");
    if (index == 3) throw std::runtime_error("worker 3 failed");
  };
  try {
    pool.Run(failing);
    ADD_FAILURE() << "Run returned although its job threw";
  } catch (const std::runtime_error& e) {
    EXPECT_TRUE(std::string(e.what()) == "worker 2 failed" || std::string(e.what()) == "worker 3 failed") << e.what();
  }
  EXPECT_EQ(runs, std::vector<int>(4, 1));
  // The exception is gone with its job: the pool goes on.
  pool.Run([&](int index) { ++runs[static_cast<size_t>(index)]; });
  EXPECT_EQ(runs, std::vector<int>(4, 2));
}

TEST(WorkerPool, WithoutThreadsRunsIndexZeroOnTheCaller) {
  WorkerPool pool(0, true);
  EXPECT_EQ(pool.Threads(), 0);
  std::vector<std::pair<int, std::thread::id>> calls;
  pool.Run([&](int index) { calls.emplace_back(index, std::this_thread::get_id()); });
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].first, 0);
  EXPECT_EQ(calls[0].second, std::this_thread::get_id());
  EXPECT_THROW(pool.Run([](int) { throw std::runtime_error("no thread"); }), std::runtime_error);
}

TEST(WorkerPool, TakesOneJobAtATime) {
  WorkerPool pool(2, false);
  std::mutex lock;
  std::condition_variable released;
  bool go = false;
  pool.Start([&](int) {
    std::unique_lock<std::mutex> guard(lock);
    released.wait(guard, [&] { return go; });
  });
  EXPECT_THROW(pool.Start([](int) {}), std::logic_error);
  {
    std::lock_guard<std::mutex> guard(lock);
    go = true;
  }
  released.notify_all();
  pool.Wait();
  int ran = 0;
  pool.Run([&](int) {
    std::lock_guard<std::mutex> guard(lock);
    ++ran;
  });
  EXPECT_EQ(ran, 2);
}

TEST(WorkerPool, BackgroundWorkersRunAtALowerPriorityThanTheirCaller) {
  const int caller = MyPriority();
  std::vector<int> background(2, 0), foreground(2, 0);
  WorkerPool low(2, true), normal(2, false);
  low.Run([&](int index) { background[static_cast<size_t>(index)] = MyPriority(); });
  normal.Run([&](int index) { foreground[static_cast<size_t>(index)] = MyPriority(); });
  for (int i = 0; i < 2; ++i) {
    // A nice value: higher is lower. A process already nicer stays as it is.
    EXPECT_GE(background[static_cast<size_t>(i)], std::max(caller, 10));
    EXPECT_EQ(foreground[static_cast<size_t>(i)], caller);
  }
  EXPECT_EQ(MyPriority(), caller);
}

}  // namespace
}  // namespace tess::test
