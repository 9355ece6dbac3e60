// Any bytes as a mesh file of one format: a mesh, or one "file: reason".
// The first byte picks the format; the file goes through the whole path a
// scene's "mesh": {"file": ...} takes: checks, Assimp (or the OBJ reader),
// node transforms, welding.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "hostapp/scene/mesh_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const char* const extensions[] = {".stl", ".ply", ".gltf", ".glb", ".obj", ".dae", ".fbx"};
  if (size == 0) return 0;
  // A new name for every input: the importer reuses its last model while
  // a file's size and time stay the same, and inputs come faster than the
  // file system's clock ticks.
  static unsigned long count = 0;
  const std::string path = "/tmp/tessaline-fuzz-" + std::to_string(getpid()) + "-" + std::to_string(count++ % 1000) +
                           extensions[data[0] % (sizeof extensions / sizeof extensions[0])];
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return 0;
  std::fwrite(data + 1, 1, size - 1, file);
  std::fclose(file);
  tess::render::MeshFileRequest request;
  request.path = path;
  const tess::render::MeshFileResult result = tess::render::ReadMeshFile(request);
  // An error is one line; it names the file, or a file the model refers to.
  if (!result.ok() && result.error.find('\n') != std::string::npos) __builtin_trap();
  if (result.ok() && result.mesh.polygons.empty()) __builtin_trap();  // never an empty success
  for (const HostPolygon& p : result.mesh.polygons)
    for (const int32_t corner : {p.a, p.b, p.c, p.d})
      if (corner < 0 || static_cast<size_t>(corner) >= result.mesh.points.size()) __builtin_trap();
  std::remove(path.c_str());
  return 0;
}
