// Any bytes as a scene file: a scene or one line naming the JSON path.
#include <cstddef>
#include <cstdint>
#include <string>

#include "hostapp/scene/scene_reader.h"
#include "tests/fuzz/module_fixture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  LaunchModuleOnce();
  const std::string text(reinterpret_cast<const char*>(data), size);
  // Mesh files resolve against a folder with nothing in it.
  const auto result = tess::render::ReadSceneText(text, "/nonexistent-fuzz-folder", "fuzz.json");
  if (result.scene == nullptr && (result.error.empty() || result.error.find('\n') != std::string::npos))
    __builtin_trap();
  return 0;
}
