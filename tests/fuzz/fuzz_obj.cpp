// Any bytes as an OBJ file: a mesh or one "file:line: reason".
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "hostapp/assets/obj_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The reader reads files, as the scene gives them.
  static const std::string path = "/tmp/tessaline-fuzz-" + std::to_string(getpid()) + ".obj";
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return 0;
  std::fwrite(data, 1, size, file);
  std::fclose(file);
  const auto result = tess::render::ReadObj(path);
  if (!result.error.empty() && result.error.rfind(path + ":", 0) != 0) __builtin_trap();
  return 0;
}
