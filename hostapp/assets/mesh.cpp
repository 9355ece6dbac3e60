#include "hostapp/assets/mesh.h"

#include "hostapp/assets/vec.h"

namespace tess::render {

std::string CheckMesh(const Mesh& mesh) {
  const auto count = static_cast<int64_t>(mesh.points.size());
  for (size_t i = 0; i < mesh.points.size(); ++i)
    if (!Finite(mesh.points[i])) return "point " + std::to_string(i) + " has a coordinate that is not finite";
  for (size_t j = 0; j < mesh.polygons.size(); ++j) {
    const HostPolygon& p = mesh.polygons[j];
    for (const int32_t index : {p.a, p.b, p.c, p.d})
      if (index < 0 || index >= count)
        return "polygon " + std::to_string(j) + " names point " + std::to_string(index) + " of " +
               std::to_string(count);
  }
  return {};
}

}  // namespace tess::render
