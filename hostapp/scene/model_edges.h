// What a model's own edges say about the shader settings that suit it: the
// edge map of a welded mesh, the angle between the polygons at each edge,
// the angle above which edges are features rather than the facets of a
// smooth surface, and a rounding radius sized to the faces along those
// features rather than to the whole model.
#ifndef TESSALINE_HOSTAPP_SCENE_MODEL_EDGES_H
#define TESSALINE_HOSTAPP_SCENE_MODEL_EDGES_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "hostapp/assets/polygon_mesh.h"

namespace tess::render {

// One edge of a mesh whose polygons share their points: the two points, and
// the polygons with this side. Border edges have one polygon, edges where
// more than two polygons meet list the first two and count them all.
struct MeshEdge {
  int32_t a = 0, b = 0;  // a < b
  int32_t first = -1, second = -1;
  int polygons = 0;
};

std::vector<MeshEdge> EdgeMap(const assets::PolygonMesh& mesh);

// The angle in radians between the two polygons' normals, computed as the
// shaders compute it: 0 for two polygons in one plane, π/2 with a
// degenerate polygon.
double EdgeAngle(const assets::PolygonMesh& mesh, const MeshEdge& edge);

// How far `polygon` reaches away from the line through points a and b: its
// farthest corner's distance. For a polygon along a hard edge, how far a
// rounding of that edge may spread on it.
double WidthAcross(const assets::PolygonMesh& mesh, int32_t polygon, int32_t a, int32_t b);

struct EdgeDefaults {
  // Degrees, whole: edges between polygons at this angle or more are
  // features; a smooth surface's edges lie below it.
  double featureAngle = 20.0;
  double radius = 0.0;  // for Soft Edge's edge method, in model units
  size_t featureEdges = 0;
};

// Bounds of the choice: the feature angle lies in [20°, 40°]; the radius
// is three quarters of the lower quartile of the widths of the polygons
// along feature edges, within [0.1%, 2%] of the bounding-box diagonal (2%
// when the model has no feature edge).
constexpr double minFeatureAngle = 20.0, maxFeatureAngle = 40.0;
constexpr double radiusShareOfWidth = 0.75;
constexpr double minRadiusShare = 0.001, maxRadiusShare = 0.02;

// `meshes` welded, each as the scene reader welds one object's mesh.
EdgeDefaults ChooseEdgeDefaults(const std::vector<assets::PolygonMesh>& meshes, double diagonal);

}  // namespace tess::render

#endif
