// Plug-in objects and per-call arrays live in the host's memory, so that the
// host can account for every block the module holds.
#ifndef TESSALINE_HOST_C4D_MEMORY_H
#define TESSALINE_HOST_C4D_MEMORY_H

#include <cstdint>
#include <limits>
#include <new>
#include <type_traits>
#include <utility>

#include "host/c4d_api.h"

inline void* MemAlloc(Int64 size, const char* file, Int32 line) {
  const HostMemoryApi* api = MemoryApi();
  if (api == nullptr || size <= 0) return nullptr;
  return api->alloc(size, file, line);
}

inline void MemFree(void* block) {
  const HostMemoryApi* api = MemoryApi();
  if (api != nullptr && block != nullptr) api->free(block);
}

template <typename T, typename... Args>
T* HostNewObj(const char* file, Int32 line, Args&&... args) {
  void* block = MemAlloc(static_cast<Int64>(sizeof(T)), file, line);
  return block != nullptr ? new (block) T(std::forward<Args>(args)...) : nullptr;
}

template <typename T>
void HostDeleteObj(T*& object) {
  if (object == nullptr) return;
  object->~T();
  MemFree(static_cast<void*>(object));
  object = nullptr;
}

// Uninitialised array of plain values; null for a count of 0 or less, or one
// whose byte size would not fit.
template <typename T>
T* HostNewMem(Int64 count, const char* file, Int32 line) {
  static_assert(std::is_trivially_destructible<T>::value, "NewMem is for plain values");
  if (count <= 0 || count > std::numeric_limits<Int64>::max() / static_cast<Int64>(sizeof(T))) return nullptr;
  return static_cast<T*>(MemAlloc(count * static_cast<Int64>(sizeof(T)), file, line));
}

template <typename T>
void HostDeleteMem(T*& block) {
  MemFree(static_cast<void*>(block));
  block = nullptr;
}

#define NewObj(T) HostNewObj<T>(__FILE__, __LINE__)
#define NewObjArgs(T, ...) HostNewObj<T>(__FILE__, __LINE__, __VA_ARGS__)
#define DeleteObj(p) HostDeleteObj(p)
#define NewMem(T, count) HostNewMem<T>(static_cast<Int64>(count), __FILE__, __LINE__)
#define DeleteMem(p) HostDeleteMem(p)

#endif
