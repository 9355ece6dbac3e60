// The host's allocator: every block carries a header, so that the host can
// count the module's live blocks, refuse foreign pointers and fail on demand.
#ifndef TESSALINE_HOSTAPP_SERVICES_MEMORY_H
#define TESSALINE_HOSTAPP_SERVICES_MEMORY_H

#include <atomic>
#include <cstdint>

#include "host/c4d_host.h"

namespace tess::host {

class MemoryService {
 public:
  void* Alloc(int64_t size, const char* file, int32_t line);
  void Free(void* block);

  int64_t LiveBlocks() const { return liveBlocks.load(); }
  int64_t LiveBytes() const { return liveBytes.load(); }
  int64_t TotalAllocations() const { return allocations.load(); }
  // Blocks the allocator was asked to free that it never gave out.
  int64_t ForeignFrees() const { return foreignFrees.load(); }
  // Fails the n-th allocation from now (1 = the next); 0 turns it off.
  void FailAllocation(int64_t n);
  // Fails every allocation larger than this many bytes; 0 turns it off.
  void SetSizeLimit(int64_t bytes) { sizeLimit = bytes; }

 private:
  std::atomic<int64_t> liveBlocks{0};
  std::atomic<int64_t> liveBytes{0};
  std::atomic<int64_t> allocations{0};
  std::atomic<int64_t> foreignFrees{0};
  std::atomic<int64_t> failAt{0};
  std::atomic<int64_t> sizeLimit{0};
};

const HostMemoryApi* MemoryTable();

}  // namespace tess::host

#endif
