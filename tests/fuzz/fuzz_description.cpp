// Any bytes as a description resource: a tree or one "file:line: reason".
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "hostapp/resources/resource_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto result = tess::resources::ParseDescription(text, "fuzz.res");
  if (!result && result.error.rfind("fuzz.res:", 0) != 0) __builtin_trap();
  if (result) result.value->FindById(1003);
  return 0;
}
