// tessaline-import ANSWER_FD DONE_FD MEMORY_BYTES SECONDS PATH: reads one
// model file with Assimp (ImportModel's in-process reader) within a memory
// and CPU-time limit it sets on itself, writes the model, or its one-line
// error, into the memory file ANSWER_FD that tessaline-host passed it, and
// says so with a byte on DONE_FD. A crash, a hang or a blow-up here ends
// this process only; the host turns it into one line.
#include <malloc.h>
#include <pthread.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <mutex>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "hostapp/assets/import_cache.h"
#include "hostapp/assets/isolated_import.h"
#include "hostapp/assets/model_import.h"
#include "hostapp/assets/model_wire.h"

namespace {

// The model's arrays are made straight in the answer file: while the model
// is converted, every large allocation is a mapping of a fresh stretch of
// the file, so the answer names them where they lie instead of copying them
// (InPlace). Each takes address space only for itself, within the memory
// limit like any other allocation; a freed one gives its memory back.
class Arena {
 public:
  static constexpr uint64_t start = 4096;       // the file's first page holds the answer's root record
  static constexpr size_t smallest = 1u << 20;  // smaller blocks come from the heap

  void Use(int file) { fd = file; }
  void Enable(bool on) { enabled = on; }

  // A block of `size` bytes in the file, or null for the heap to give one.
  void* Take(size_t size) {
    if (!enabled || fd < 0 || size < smallest) return nullptr;
    const std::lock_guard<std::mutex> lock(mutex);
    const size_t length = (size + 4095) / 4096 * 4096;
    if (count == blocks.size() || ::ftruncate(fd, static_cast<off_t>(end + length)) != 0) return nullptr;
    // Populated at once: the model fills what it asks for, and one call
    // makes the pages faster than a fault for each of them.
    void* mapped =
        ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_POPULATE, fd, static_cast<off_t>(end));
    if (mapped == MAP_FAILED) return nullptr;
    blocks[count++] = {static_cast<const char*>(mapped), length, end};
    end += length;
    used = true;
    return mapped;
  }
  // Whether `p` was a block here; if so, it is given back.
  bool Give(void* p) {
    if (!used) return false;
    const std::lock_guard<std::mutex> lock(mutex);
    for (size_t k = 0; k < count; ++k) {
      if (blocks[k].base != p) continue;
      ::munmap(p, blocks[k].size);
      ::fallocate(fd, FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE, static_cast<off_t>(blocks[k].offset),
                  static_cast<off_t>(blocks[k].size));
      blocks[k] = blocks[--count];
      return true;
    }
    return false;
  }
  std::vector<tess::assets::InPlace> Blocks() const { return {blocks.begin(), blocks.begin() + count}; }
  uint64_t End() const { return end; }
  // The host seals the answer before it reads it, which takes that nobody
  // can write to it through a mapping any more.
  void UnmapAll() {
    for (size_t k = 0; k < count; ++k) ::munmap(const_cast<char*>(blocks[k].base), blocks[k].size);
    count = 0;
  }

 private:
  int fd = -1;
  std::atomic<bool> enabled{false}, used{false};
  std::mutex mutex;
  std::array<tess::assets::InPlace, 4096> blocks{};
  size_t count = 0;
  uint64_t end = start;
};

Arena arena;

// AddressSanitizer reserves terabytes of address space for its shadow, so an
// address-space limit stops a sanitized reader before it starts. There the
// limit is kept on the heap this program allocates through operator new
// instead: Assimp's C++ allocations and the tests' faults, not its malloc.
#if defined(__SANITIZE_ADDRESS__)
#define TESSALINE_HEAP_LIMIT 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TESSALINE_HEAP_LIMIT 1
#endif
#endif
#ifdef TESSALINE_HEAP_LIMIT
constexpr bool limitAddressSpace = false;
#else
constexpr bool limitAddressSpace = true;
#endif
std::atomic<uint64_t> heapBytes{0};
uint64_t heapLimit = ~uint64_t{0};

void* Allocate(size_t size) {
  if (void* p = arena.Take(size)) return p;
  for (;;) {
    void* p = std::malloc(size == 0 ? 1 : size);
    if (p != nullptr && !limitAddressSpace) {
      const uint64_t bytes = ::malloc_usable_size(p);
      if (heapBytes.fetch_add(bytes) + bytes > heapLimit) {
        heapBytes.fetch_sub(bytes);
        std::free(p);
        p = nullptr;
      }
    }
    if (p != nullptr) return p;
    const std::new_handler handler = std::get_new_handler();
    if (handler == nullptr) throw std::bad_alloc();
    handler();
  }
}

void Release(void* p) noexcept {
  if (arena.Give(p)) return;
  if (!limitAddressSpace && p != nullptr) heapBytes.fetch_sub(::malloc_usable_size(p));
  std::free(p);
}

}  // namespace

// This program's allocations, Assimp's included, go through these.
void* operator new(size_t size) {
  return Allocate(size);
}
void* operator new[](size_t size) {
  return Allocate(size);
}
void* operator new(size_t size, const std::nothrow_t&) noexcept {
  try {
    return Allocate(size);
  } catch (...) {
    return nullptr;
  }
}
void* operator new[](size_t size, const std::nothrow_t&) noexcept {
  try {
    return Allocate(size);
  } catch (...) {
    return nullptr;
  }
}
void operator delete(void* p) noexcept {
  Release(p);
}
void operator delete[](void* p) noexcept {
  Release(p);
}
void operator delete(void* p, size_t) noexcept {
  Release(p);
}
void operator delete[](void* p, size_t) noexcept {
  Release(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
  Release(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
  Release(p);
}

namespace {

struct Job {
  std::string path;
  std::optional<tess::assets::UpAxis> up;
  int answer = -1, done = -1;
};

// Any allocation that fails within the limit ends the reader at once, with
// an exit code the host names; no reader gets to carry on half-allocated.
void OutOfMemory() {
  ::_exit(tess::assets::readerExitOutOfMemory);
}

// For the host's tests only: TESSALINE_IMPORT_FAULT=crash|hang|allocate makes
// this reader fail as a broken one would, to show that the host survives it.
void InjectFault() {
  const char* fault = std::getenv("TESSALINE_IMPORT_FAULT");
  if (fault == nullptr) return;
  if (std::strcmp(fault, "crash") == 0) ::raise(SIGSEGV);
  if (std::strcmp(fault, "hang") == 0)
    for (;;) ::pause();
  if (std::strcmp(fault, "allocate") == 0) {
    std::vector<char*> blocks;
    for (;;) {
      blocks.push_back(new char[64 << 20]);
      std::memset(blocks.back(), 1, 64 << 20);
    }
  }
}

void* Read(void* argument) {
  auto& job = *static_cast<Job*>(argument);
  InjectFault();
  std::vector<tess::assets::FileStamp> opened;
  tess::assets::ModelResult result;
  try {
    result = tess::assets::ReadModel(job.path, job.up, opened, [] { arena.Enable(true); });
  } catch (const std::exception& e) {
    result = {nullptr, job.path + ": " + e.what()};
  }
  arena.Enable(false);
  if (!tess::assets::WriteModelResult(job.answer, result, opened, arena.Blocks(), arena.End()))
    ::_exit(tess::assets::readerExitUsage);
  arena.UnmapAll();
  // Answered: the host reads the answer while this process's memory is
  // freed, with nothing left to destroy first.
  const char byte = 1;
  ::_exit(::write(job.done, &byte, 1) == 1 ? 0 : tess::assets::readerExitUsage);
}

bool Number(const char* text, double& value) {
  char* end = nullptr;
  value = std::strtod(text, &end);
  return end != text && *end == '\0' && std::isfinite(value) && value > 0.0;
}

}  // namespace

int main(int argc, char** argv) {
  double answer = 0.0, done = 0.0, memory = 0.0, seconds = 0.0;
  if (argc != 7 || !Number(argv[1], answer) || !Number(argv[2], done) || !Number(argv[3], memory) ||
      !Number(argv[4], seconds))
    return tess::assets::readerExitUsage;
  std::set_new_handler(OutOfMemory);
  const auto bytes = static_cast<rlim_t>(memory);
  const rlimit space{bytes, bytes};
  const auto cpu = static_cast<rlim_t>(std::ceil(seconds));
  const rlimit time{cpu, cpu + 1};  // SIGXCPU at the limit, SIGKILL a second later
  if ((limitAddressSpace && ::setrlimit(RLIMIT_AS, &space) != 0) || ::setrlimit(RLIMIT_CPU, &time) != 0)
    return tess::assets::readerExitUsage;
  heapLimit = bytes;
  arena.Use(static_cast<int>(answer));

  // Readers recurse over a file's node tree, thousands of levels for a deep
  // one: the read runs on a thread with a stack to match, an eighth of the
  // memory limit, at most 256 MB.
  Job job{argv[6], std::nullopt, static_cast<int>(answer), static_cast<int>(done)};
  if (std::strcmp(argv[5], "file") != 0) {
    job.up = tess::assets::ParseUpAxis(argv[5]);
    if (!job.up) return tess::assets::readerExitUsage;
  }
  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  const size_t stack = std::max<size_t>(8u << 20, std::min<size_t>(256u << 20, static_cast<size_t>(bytes / 8)));
  pthread_attr_setstacksize(&attributes, stack);
  pthread_t thread;
  if (pthread_create(&thread, &attributes, Read, &job) != 0) OutOfMemory();
  pthread_join(thread, nullptr);
  return tess::assets::readerExitUsage;  // the reading thread ends the process
}
