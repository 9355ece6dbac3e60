#include "hostapp/assets/polygon_mesh.h"

namespace tess::assets {

void AppendPolygon(std::vector<HostPolygon>& polygons, const int32_t* corners, size_t count) {
  if (count < 3) return;
  if (count == 3) {
    polygons.push_back({corners[0], corners[1], corners[2], corners[2]});
    return;
  }
  size_t k = 1;
  for (; k + 2 < count; k += 2) polygons.push_back({corners[0], corners[k], corners[k + 1], corners[k + 2]});
  if (k + 1 < count) polygons.push_back({corners[0], corners[k], corners[k + 1], corners[k + 1]});
}

}  // namespace tess::assets
