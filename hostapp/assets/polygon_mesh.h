// Points and polygons as the module sees them, before they become a scene
// object: four corner indices per polygon, a triangle when c == d.
#ifndef TESSALINE_HOSTAPP_ASSETS_POLYGON_MESH_H
#define TESSALINE_HOSTAPP_ASSETS_POLYGON_MESH_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "host/c4d_host.h"

namespace tess::assets {

struct PolygonMesh {
  std::vector<HostVector> points;
  std::vector<HostPolygon> polygons;
};

// Appends one polygon of `count` corners (indices into `points`). Triangles
// get c == d and quads keep their corners, a concave quad too (the ray
// tracer splits it along its inner diagonal). A polygon of more corners
// becomes triangles and convex quads inside it (SplitPolygon); for a flat polygon
// the inner edges are flat too. Fewer than three corners (points, lines) add
// nothing.
void AppendPolygon(const std::vector<HostVector>& points, std::vector<HostPolygon>& polygons, const int32_t* corners,
                   size_t count);

// Corners of `p` in order: 3 for a triangle (c == d), else 4.
inline int CornerCount(const HostPolygon& p) {
  return p.c == p.d ? 3 : 4;
}

}  // namespace tess::assets

#endif
