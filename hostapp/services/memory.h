// The host's allocator: every block carries a header, so that the host can
// count the module's live blocks, refuse foreign pointers and fail on demand.
#ifndef TESSALINE_HOSTAPP_SERVICES_MEMORY_H
#define TESSALINE_HOSTAPP_SERVICES_MEMORY_H

#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

#include "host/c4d_host.h"

namespace tess::host {

class MemoryService {
 public:
  MemoryService();
  ~MemoryService();
  MemoryService(const MemoryService&) = delete;
  MemoryService& operator=(const MemoryService&) = delete;

  void* Alloc(int64_t size, const char* file, int32_t line);
  void Free(void* block);

  int64_t LiveBlocks() const;
  int64_t LiveBytes() const;
  int64_t TotalAllocations() const;
  // Blocks the allocator was asked to free that it never gave out.
  int64_t ForeignFrees() const { return foreignFrees.load(); }
  // Fails the n-th allocation from now (1 = the next); 0 turns it off.
  void FailAllocation(int64_t n) { failCountdown = n > 0 ? n : 0; }
  // Fails every allocation larger than this many bytes; 0 turns it off.
  void SetSizeLimit(int64_t bytes) { sizeLimit = bytes; }
  // Per-thread records made so far: no more than threads ever alive at once.
  size_t ThreadRecords() const;

 private:
  // Render threads allocate at every sample. Each thread keeps its own counts,
  // written only by itself, so that they never contend for one cache line;
  // the readers add them up. A block freed on another thread than the one
  // that took it leaves one count above and one below: the sums stay right.
  // Each record has a cache line of its own. A thread that ends hands its
  // record to the next thread that starts, counts and all, so that the
  // records stay as many as threads run at once, however many come and go.
  struct alignas(64) ThreadCounts {
    std::atomic<int64_t> blocks{0};
    std::atomic<int64_t> bytes{0};
    std::atomic<int64_t> allocations{0};
  };
  friend struct ThreadRecord;
  ThreadCounts& Mine();
  ThreadCounts* TakeRecord();
  void ReturnRecord(ThreadCounts* counts);
  bool TakeFailure();
  template <typename Field>
  int64_t Sum(Field field) const;

  const uint64_t serviceId;  // tells this service from an earlier one at the same address
  mutable std::mutex registryLock;
  std::deque<ThreadCounts> perThread;  // a deque keeps each thread's counts in place
  std::vector<ThreadCounts*> unused;   // records of threads that ended
  std::atomic<int64_t> foreignFrees{0};
  std::atomic<int64_t> failCountdown{0};
  std::atomic<int64_t> sizeLimit{0};
};

const HostMemoryApi* MemoryTable();

}  // namespace tess::host

#endif
