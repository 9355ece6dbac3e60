// Any bytes as a panel events file: events or one "file:line: reason".
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "hostapp/gui/events.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto script = tess::gui::ParseEvents(text, "fuzz.events");
  if (!script.error.empty() && script.error.rfind("fuzz.events:", 0) != 0) __builtin_trap();
  return 0;
}
