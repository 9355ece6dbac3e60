// Any bytes as a symbol header: symbols or one "file:line: reason", never a crash.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "hostapp/resources/resource_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto result = tess::resources::ParseSymbols(text, "fuzz.h");
  if (!result && result.error.rfind("fuzz.h:", 0) != 0) __builtin_trap();
  return 0;
}
