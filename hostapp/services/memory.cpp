#include "hostapp/services/memory.h"

#include <cstdlib>
#include <cstring>
#include <map>

#include "hostapp/services/services.h"

namespace tess::host {
namespace {

constexpr uint64_t liveMagic = 0x54455353414c4956ull;  // marks a block the module holds
constexpr uint64_t deadMagic = 0x44454144424c4f43ull;
// Real allocators cap far below this; a module asking for more gets null.
constexpr int64_t largestBlock = int64_t{1} << 40;

struct alignas(16) BlockHeader {
  uint64_t magic;
  int64_t size;
};

// Only the owning thread writes its counts, so a plain load and store is
// enough; the atomics only make the readers' loads well defined.
void Add(std::atomic<int64_t>& count, int64_t delta) {
  count.store(count.load(std::memory_order_relaxed) + delta, std::memory_order_relaxed);
}

std::atomic<uint64_t> nextServiceId{1};

// A render thread takes and gives back blocks of the same few sizes at every
// sample, some of them past the sizes the C library keeps per thread. So each
// thread keeps the last few blocks it released and hands them out again for
// the same size. Under AddressSanitizer nothing is kept, so that the
// sanitizer still sees every release and catches a use after it.
class BlockCache {
 public:
  BlockCache() = default;
  BlockCache(const BlockCache&) = delete;
  BlockCache& operator=(const BlockCache&) = delete;
  ~BlockCache() {
    for (size_t i = 0; i < used; ++i) std::free(kept[i].raw);
  }

  // A kept block of exactly this many bytes, the latest kept first; or null.
  void* Take(size_t bytes) {
    for (size_t i = used; i-- > 0;) {
      if (kept[i].bytes != bytes) continue;
      void* raw = kept[i].raw;
      Remove(i);
      return raw;
    }
    return nullptr;
  }
  // Keeps the block, letting go of the longest kept one when full, so that
  // the sizes the thread asks for now win over those of earlier work.
  void Release(void* raw, size_t bytes) {
    if (bytes > largestKept) {
      std::free(raw);
      return;
    }
    if (used == capacity) {
      std::free(kept[0].raw);
      Remove(0);
    }
    kept[used++] = {raw, bytes};
  }

 private:
  void Remove(size_t i) {
    for (--used; i < used; ++i) kept[i] = kept[i + 1];
  }

  struct Kept {
    void* raw;
    size_t bytes;
  };
  static constexpr size_t capacity = 8;
#if defined(__SANITIZE_ADDRESS__)
  static constexpr size_t largestKept = 0;  // keeps nothing
#else
  static constexpr size_t largestKept = size_t{64} * 1024;
#endif
  Kept kept[capacity] = {};
  size_t used = 0;
};

thread_local BlockCache blockCache;

}  // namespace

// Services alive, by id: a thread that ends after its service did must not
// hand its record back to it.
static std::mutex& LiveLock() {
  static std::mutex lock;
  return lock;
}

static std::map<uint64_t, MemoryService*>& LiveServices() {
  static std::map<uint64_t, MemoryService*> services;
  return services;
}

// The calling thread's record, handed back when the thread ends.
struct ThreadRecord {
  uint64_t owner = 0;
  MemoryService::ThreadCounts* counts = nullptr;

  void Release() {
    if (counts == nullptr) return;
    std::lock_guard<std::mutex> lock(LiveLock());
    auto it = LiveServices().find(owner);
    if (it != LiveServices().end()) it->second->ReturnRecord(counts);
    counts = nullptr;
  }
  ~ThreadRecord() { Release(); }
};

MemoryService::MemoryService() : serviceId(nextServiceId++) {
  std::lock_guard<std::mutex> lock(LiveLock());
  LiveServices()[serviceId] = this;
}

MemoryService::~MemoryService() {
  std::lock_guard<std::mutex> lock(LiveLock());
  LiveServices().erase(serviceId);
}

MemoryService::ThreadCounts* MemoryService::TakeRecord() {
  std::lock_guard<std::mutex> lock(registryLock);
  if (!unused.empty()) {
    ThreadCounts* reused = unused.back();
    unused.pop_back();
    return reused;
  }
  return &perThread.emplace_back();
}

void MemoryService::ReturnRecord(ThreadCounts* counts) {
  std::lock_guard<std::mutex> lock(registryLock);
  unused.push_back(counts);
}

size_t MemoryService::ThreadRecords() const {
  std::lock_guard<std::mutex> lock(registryLock);
  return perThread.size();
}

MemoryService::ThreadCounts& MemoryService::Mine() {
  thread_local ThreadRecord record;
  if (record.owner != serviceId || record.counts == nullptr) {
    record.Release();
    record.counts = TakeRecord();
    record.owner = serviceId;
  }
  return *record.counts;
}

template <typename Field>
int64_t MemoryService::Sum(Field field) const {
  std::lock_guard<std::mutex> lock(registryLock);
  int64_t sum = 0;
  for (const ThreadCounts& c : perThread) sum += (c.*field).load(std::memory_order_relaxed);
  return sum;
}

int64_t MemoryService::LiveBlocks() const {
  return Sum(&ThreadCounts::blocks);
}

int64_t MemoryService::LiveBytes() const {
  return Sum(&ThreadCounts::bytes);
}

int64_t MemoryService::TotalAllocations() const {
  return Sum(&ThreadCounts::allocations);
}

// Counts down only while a failure is armed; exactly one allocation takes it.
bool MemoryService::TakeFailure() {
  int64_t left = failCountdown.load(std::memory_order_relaxed);
  while (left > 0 && !failCountdown.compare_exchange_weak(left, left - 1)) {
  }
  return left == 1;
}

void* MemoryService::Alloc(int64_t size, const char*, int32_t) {
  ThreadCounts& mine = Mine();
  Add(mine.allocations, 1);
  if (TakeFailure()) return nullptr;
  const int64_t limit = sizeLimit.load(std::memory_order_relaxed);
  if (size <= 0 || size > largestBlock || (limit != 0 && size > limit)) return nullptr;
  const size_t bytes = sizeof(BlockHeader) + static_cast<size_t>(size);
  void* raw = blockCache.Take(bytes);
  if (raw == nullptr) raw = std::malloc(bytes);
  if (raw == nullptr) return nullptr;
  auto* header = static_cast<BlockHeader*>(raw);
  header->magic = liveMagic;
  header->size = size;
  Add(mine.blocks, 1);
  Add(mine.bytes, size);
  return header + 1;
}

void MemoryService::Free(void* block) {
  if (block == nullptr) return;
  BlockHeader* header = static_cast<BlockHeader*>(block) - 1;
  if (header->magic != liveMagic) {
    ++foreignFrees;
    return;
  }
  header->magic = deadMagic;
  ThreadCounts& mine = Mine();
  Add(mine.blocks, -1);
  Add(mine.bytes, -header->size);
  blockCache.Release(header, sizeof(BlockHeader) + static_cast<size_t>(header->size));
}

const HostMemoryApi* MemoryTable() {
  static const HostMemoryApi table{
      [](int64_t size, const char* file, int32_t line) { return Services().memory.Alloc(size, file, line); },
      [](void* block) { Services().memory.Free(block); },
  };
  return &table;
}

}  // namespace tess::host
