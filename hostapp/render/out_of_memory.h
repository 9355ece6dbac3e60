// Allocations whose size is known where they are made: a failure becomes one
// line that says what needed how much memory, instead of an abort.
#ifndef TESSALINE_HOSTAPP_RENDER_OUT_OF_MEMORY_H
#define TESSALINE_HOSTAPP_RENDER_OUT_OF_MEMORY_H

#include <cstdint>
#include <new>
#include <stdexcept>
#include <string>

namespace tess::render {

// "not enough memory: WHAT needs N MB"
std::string NotEnoughMemory(const std::string& what, uint64_t bytes);

struct OutOfMemory : std::runtime_error {
  OutOfMemory(const std::string& what, uint64_t bytes) : std::runtime_error(NotEnoughMemory(what, bytes)) {}
};

// make(), with a failed allocation inside it reported as OutOfMemory.
template <typename Make>
auto Allocate(const std::string& what, uint64_t bytes, Make&& make) {
  try {
    return make();
  } catch (const std::bad_alloc&) {
    throw OutOfMemory(what, bytes);
  }
}

}  // namespace tess::render

#endif
