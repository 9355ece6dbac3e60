// Polygons of more than four corners as triangles and convex quads that
// cover exactly the polygon: ear clipping in the polygon's best-fit plane, so
// that concave polygons stay inside their outline.
#ifndef TESSALINE_HOSTAPP_ASSETS_POLYGON_SPLIT_H
#define TESSALINE_HOSTAPP_ASSETS_POLYGON_SPLIT_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "host/c4d_host.h"

namespace tess::assets {

// Appends triangles ({a, b, c, c}) over the polygon whose corners are
// `corners[0..count)`, indices into `points`. The triangles lie inside the
// polygon as seen along its Newell normal and keep its winding; together
// they cover its area. Two that share an edge and a plane become one quad
// where it is convex, with the shared edge as its b-d diagonal (the ray
// tracer's split). Repeated and collinear corners are taken in their
// stride; what is left with no area (a polygon folded onto a line, say) adds
// nothing. Works for any corner count, in O(count^2) at worst. The corners
// must name points that exist.
void SplitPolygon(const std::vector<HostVector>& points, const int32_t* corners, size_t count,
                  std::vector<HostPolygon>& out);

}  // namespace tess::assets

#endif
