#include "hostapp/services/memory.h"

#include <cstdlib>
#include <cstring>

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

}  // namespace

void MemoryService::FailAllocation(int64_t n) {
  failAt = n > 0 ? allocations.load() + n : 0;
}

void* MemoryService::Alloc(int64_t size, const char*, int32_t) {
  const int64_t serial = ++allocations;
  if (failAt.load() != 0 && serial == failAt.load()) return nullptr;
  if (size <= 0 || size > largestBlock || (sizeLimit.load() != 0 && size > sizeLimit.load())) return nullptr;
  void* raw = std::malloc(sizeof(BlockHeader) + static_cast<size_t>(size));
  if (raw == nullptr) return nullptr;
  auto* header = static_cast<BlockHeader*>(raw);
  header->magic = liveMagic;
  header->size = size;
  ++liveBlocks;
  liveBytes += size;
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
  --liveBlocks;
  liveBytes -= header->size;
  std::free(header);
}

const HostMemoryApi* MemoryTable() {
  static const HostMemoryApi table{
      [](int64_t size, const char* file, int32_t line) { return Services().memory.Alloc(size, file, line); },
      [](void* block) { Services().memory.Free(block); },
  };
  return &table;
}

}  // namespace tess::host
