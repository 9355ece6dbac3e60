// Welding: points at the same position become one point, so that polygons
// share the points they meet at, as the application's optimize command
// leaves them. The shaders find the polygon across an edge through shared
// points; a mesh that stores each polygon's corners apart (STL always, glTF
// at hard edges and seams) has no neighbours until it is welded.
#ifndef TESSALINE_HOSTAPP_ASSETS_WELD_H
#define TESSALINE_HOSTAPP_ASSETS_WELD_H

#include <cstddef>
#include <vector>

#include "hostapp/assets/polygon_mesh.h"

namespace tess::assets {

// The default tolerance, as a share of the bounding-box diagonal.
constexpr double relativeWeldTolerance = 1e-6;

// `fraction` of the diagonal of the points' bounding box (0 for no points).
double RelativeWeldDistance(const std::vector<HostVector>& points, double fraction = relativeWeldTolerance);

struct WeldResult {
  size_t pointsBefore = 0;
  size_t pointsAfter = 0;
  size_t polygonsDropped = 0;   // fewer than three distinct corners left
  size_t quadsToTriangles = 0;  // quads that lost a corner
  double distance = 0.0;
};

// Merges the points that lie within `distance` of each other (0: only points
// at exactly the same position). Points are taken in order; each joins the
// first earlier kept point within the distance, or is kept. Kept points keep
// their order, so a mesh whose points are all apart keeps every index.
// Polygons keep their order. A quad that loses a corner becomes a triangle
// (c == d); a polygon left with fewer than three distinct corners, or a quad
// folded onto itself (a b a c), is dropped. Coordinates must be finite.
//
// Cost: one hash table of exact positions over all points, then, over the
// distinct positions only, a table of cell marks that finds the few points
// with another point near enough to matter, and a hash grid over those; no
// pairwise scan.
WeldResult Weld(PolygonMesh& mesh, double distance);

}  // namespace tess::assets

#endif
