// The host allocator's counts when many threads allocate and free at once,
// and blocks cross from one thread to another; the blocks a thread keeps.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "hostapp/services/services.h"

namespace {

using tess::host::MemoryService;

MemoryService& Memory() {
  return tess::host::Services().memory;
}

constexpr int threadCount = 4;
constexpr int blocksPerThread = 1000;

// Every thread takes its blocks; the main thread frees them all.
std::vector<std::vector<void*>> AllocateOnThreads(const HostMemoryApi& api) {
  std::vector<std::vector<void*>> blocks(threadCount);
  std::vector<std::thread> workers;
  workers.reserve(threadCount);
  for (int t = 0; t < threadCount; ++t)
    workers.emplace_back([&api, &mine = blocks[t]] {
      for (int k = 0; k < blocksPerThread; ++k) mine.push_back(api.alloc(16 + k % 7, __FILE__, __LINE__));
    });
  for (std::thread& w : workers) w.join();
  return blocks;
}

TEST(HostMemory, CountsStayRightWhenBlocksCrossThreads) {
  tess::host::ResetServices();
  const HostMemoryApi& api = *tess::host::MemoryTable();
  const auto blocks = AllocateOnThreads(api);
  EXPECT_EQ(Memory().LiveBlocks(), threadCount * blocksPerThread);
  EXPECT_EQ(Memory().TotalAllocations(), threadCount * blocksPerThread);
  for (const auto& mine : blocks)
    for (void* b : mine) api.free(b);
  EXPECT_EQ(Memory().LiveBlocks(), 0);
  EXPECT_EQ(Memory().LiveBytes(), 0);
  EXPECT_EQ(Memory().ForeignFrees(), 0);
}

TEST(HostMemory, AnArmedFailureTakesExactlyOneAllocationAcrossThreads) {
  tess::host::ResetServices();
  const HostMemoryApi& api = *tess::host::MemoryTable();
  Memory().FailAllocation(1234);
  const auto blocks = AllocateOnThreads(api);
  int refused = 0;
  for (const auto& mine : blocks)
    for (void* b : mine) {
      refused += b == nullptr;
      api.free(b);
    }
  EXPECT_EQ(refused, 1);
  EXPECT_EQ(Memory().LiveBlocks(), 0);
}

TEST(HostMemory, AFreshServiceStartsFromZero) {
  tess::host::ResetServices();
  const HostMemoryApi& api = *tess::host::MemoryTable();
  api.free(api.alloc(8, __FILE__, __LINE__));
  api.free(api.alloc(8, __FILE__, __LINE__));
  EXPECT_EQ(Memory().TotalAllocations(), 2);
  tess::host::ResetServices();  // the same thread, a new service
  EXPECT_EQ(Memory().TotalAllocations(), 0);
  void* block = api.alloc(8, __FILE__, __LINE__);
  EXPECT_EQ(Memory().TotalAllocations(), 1);
  EXPECT_EQ(Memory().LiveBlocks(), 1);
  api.free(block);
  EXPECT_EQ(Memory().LiveBlocks(), 0);
}

// A thread keeps a few of the blocks it released for its next requests of the
// same size. Keeping one must not hide a second release of it, nor hand it out
// for another size. The sanitizer build keeps nothing: there a second release
// is the sanitizer's to catch.
TEST(HostMemory, AKeptBlockIsStillReleasedOnceAndOnlyReusedForItsSize) {
  tess::host::ResetServices();
  const HostMemoryApi& api = *tess::host::MemoryTable();
  void* records = api.alloc(1408, __FILE__, __LINE__);
  api.free(records);
#if !defined(__SANITIZE_ADDRESS__)
  api.free(records);
  EXPECT_EQ(Memory().ForeignFrees(), 1);
#endif
  EXPECT_EQ(Memory().LiveBlocks(), 0);

  void* other = api.alloc(256, __FILE__, __LINE__);
  EXPECT_NE(other, records);
  void* again = api.alloc(1408, __FILE__, __LINE__);
#if !defined(__SANITIZE_ADDRESS__)
  EXPECT_EQ(again, records);
#endif
  EXPECT_EQ(Memory().LiveBlocks(), 2);
  EXPECT_EQ(Memory().LiveBytes(), 1408 + 256);
  api.free(again);
  api.free(other);
  EXPECT_EQ(Memory().LiveBlocks(), 0);
}

}  // namespace
