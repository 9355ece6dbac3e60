// The host allocator's per-thread counts: they add up across threads, and
// threads that come and go reuse the records of those that ended.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "hostapp/services/memory.h"

namespace tess::host {
namespace {

TEST(MemoryCounts, AddUpWhateverThreadFreesABlock) {
  MemoryService memory;
  std::vector<void*> blocks(64);
  std::thread taker([&] {
    for (void*& b : blocks) b = memory.Alloc(100, __FILE__, __LINE__);
  });
  taker.join();
  EXPECT_EQ(memory.LiveBlocks(), 64);
  EXPECT_EQ(memory.LiveBytes(), 6400);
  std::thread giver([&] {
    for (size_t i = 0; i < blocks.size(); i += 2) memory.Free(blocks[i]);
  });
  giver.join();
  EXPECT_EQ(memory.LiveBlocks(), 32);
  for (size_t i = 1; i < blocks.size(); i += 2) memory.Free(blocks[i]);
  EXPECT_EQ(memory.LiveBlocks(), 0);
  EXPECT_EQ(memory.LiveBytes(), 0);
  EXPECT_EQ(memory.TotalAllocations(), 64);
}

TEST(MemoryCounts, ThreadsThatComeAndGoReuseRecords) {
#ifdef _WIN32
  // MinGW's threads run their thread_local destructors, which hand a record
  // back, too late or not at all for this count; the preview server that
  // depends on the bound runs on Linux only.
  GTEST_SKIP() << "thread_local destructors are not run at thread exit under MinGW";
#endif
  MemoryService memory;
  for (int round = 0; round < 50; ++round) {
    std::vector<std::thread> workers;
    workers.reserve(4);
    for (int t = 0; t < 4; ++t) workers.emplace_back([&] { memory.Free(memory.Alloc(16, __FILE__, __LINE__)); });
    for (auto& w : workers) w.join();
  }
  EXPECT_LE(memory.ThreadRecords(), 4u);
  EXPECT_EQ(memory.TotalAllocations(), 200);
  EXPECT_EQ(memory.LiveBlocks(), 0);
}

TEST(MemoryCounts, AThreadMayOutliveTheServiceItCountedFor) {
  auto first = std::make_unique<MemoryService>();
  MemoryService second;
  std::thread worker([&] {
    first->Free(first->Alloc(8, __FILE__, __LINE__));
    first.reset();  // the thread's record belonged to it
    second.Free(second.Alloc(8, __FILE__, __LINE__));
  });
  worker.join();
  EXPECT_EQ(second.TotalAllocations(), 1);
  EXPECT_EQ(second.LiveBlocks(), 0);
}

}  // namespace
}  // namespace tess::host
