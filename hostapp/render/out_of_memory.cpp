#include "hostapp/render/out_of_memory.h"

namespace tess::render {

std::string NotEnoughMemory(const std::string& what, uint64_t bytes) {
  constexpr uint64_t mib = uint64_t{1024} * 1024;
  // Rounded up: a need below one megabyte still needs one.
  return "not enough memory: " + what + " needs " + std::to_string((bytes + mib - 1) / mib) + " MB";
}

}  // namespace tess::render
