#include "hostapp/assets/polygon_mesh.h"

#include "hostapp/assets/polygon_split.h"

namespace tess::assets {

void AppendPolygon(const std::vector<HostVector>& points, std::vector<HostPolygon>& polygons, const int32_t* corners,
                   size_t count) {
  if (count < 3) return;
  if (count == 3) {
    polygons.push_back({corners[0], corners[1], corners[2], corners[2]});
  } else if (count == 4) {
    polygons.push_back({corners[0], corners[1], corners[2], corners[3]});
  } else {
    SplitPolygon(points, corners, count, polygons);
  }
}

}  // namespace tess::assets
