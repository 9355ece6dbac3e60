#include "hostapp/scene/model_edges.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>

#include "hostapp/assets/vec.h"

namespace tess::render {
namespace {

constexpr double degree = 3.141592653589793 / 180.0;

// Below this, two polygons are one flat face split in two (a triangulated
// quad): neither a feature nor a sign of curvature.
constexpr double flatAngle = 0.5;
// Edges of a smooth surface are tessellated finer than this; coarser steps
// are facets on purpose, and count as features from the floor angle up.
constexpr double smoothAngle = 30.0;

const HostVector& P(const assets::PolygonMesh& mesh, int32_t i) {
  return mesh.points[static_cast<size_t>(i)];
}

HostVector FaceNormal(const assets::PolygonMesh& mesh, const HostPolygon& p) {
  if (p.c == p.d) return Normalize(Cross(P(mesh, p.b) - P(mesh, p.a), P(mesh, p.c) - P(mesh, p.a)));
  return Normalize(Cross(P(mesh, p.b) - P(mesh, p.d), P(mesh, p.c) - P(mesh, p.a)));
}

// The value at share q of the sorted values (nearest rank).
double Quantile(std::vector<double> values, double q) {
  std::sort(values.begin(), values.end());
  const auto rank = static_cast<size_t>(std::ceil(q * static_cast<double>(values.size())));
  return values[std::min(values.size() - 1, rank > 0 ? rank - 1 : 0)];
}

}  // namespace

std::vector<MeshEdge> EdgeMap(const assets::PolygonMesh& mesh) {
  std::vector<MeshEdge> edges;
  std::unordered_map<uint64_t, size_t> index;
  index.reserve(mesh.polygons.size() * 2);
  for (size_t p = 0; p < mesh.polygons.size(); ++p) {
    const HostPolygon& polygon = mesh.polygons[p];
    const int32_t corners[4] = {polygon.a, polygon.b, polygon.c, polygon.d};
    const int count = assets::CornerCount(polygon);
    for (int s = 0; s < count; ++s) {
      const int32_t u = corners[s], v = corners[(s + 1) % count];
      if (u == v) continue;
      const int32_t a = std::min(u, v), b = std::max(u, v);
      const uint64_t key = static_cast<uint64_t>(static_cast<uint32_t>(a)) << 32 | static_cast<uint32_t>(b);
      const auto [at, added] = index.emplace(key, edges.size());
      if (added) edges.push_back(MeshEdge{a, b});
      MeshEdge& edge = edges[at->second];
      if (edge.polygons == 0) edge.first = static_cast<int32_t>(p);
      if (edge.polygons == 1) edge.second = static_cast<int32_t>(p);
      ++edge.polygons;
    }
  }
  return edges;
}

double EdgeAngle(const assets::PolygonMesh& mesh, const MeshEdge& edge) {
  const HostVector u = FaceNormal(mesh, mesh.polygons[static_cast<size_t>(edge.first)]);
  const HostVector v = FaceNormal(mesh, mesh.polygons[static_cast<size_t>(edge.second)]);
  const double s = Dot(u, u) * Dot(v, v);
  const double c = Dot(u, v) * std::sqrt(s == 0.0 ? 0.0 : 1.0 / s);
  if (c >= 1.0) return 0.0;
  if (c <= -1.0) return 3.141592653589793;
  return std::acos(c);
}

double WidthAcross(const assets::PolygonMesh& mesh, int32_t polygon, int32_t a, int32_t b) {
  const HostPolygon& p = mesh.polygons[static_cast<size_t>(polygon)];
  const HostVector along = Normalize(P(mesh, b) - P(mesh, a));
  double width = 0.0;
  for (const int32_t corner : {p.a, p.b, p.c, p.d}) {
    const HostVector d = P(mesh, corner) - P(mesh, a);
    width = std::max(width, Length(d - along * Dot(d, along)));
  }
  return width;
}

EdgeDefaults ChooseEdgeDefaults(const std::vector<assets::PolygonMesh>& meshes, double diagonal) {
  struct Measured {
    const assets::PolygonMesh* mesh;
    MeshEdge edge;
    double angle;  // degrees
  };
  std::vector<Measured> inner;
  std::vector<double> curved;
  for (const assets::PolygonMesh& mesh : meshes)
    for (const MeshEdge& edge : EdgeMap(mesh)) {
      if (edge.polygons < 2) continue;  // a border: the shaders' angle tests do not apply
      const double angle = EdgeAngle(mesh, edge) / degree;
      inner.push_back(Measured{&mesh, edge, angle});
      if (angle > flatAngle && angle < smoothAngle) curved.push_back(angle);
    }

  EdgeDefaults chosen;
  // Half as much again as nearly all of a smooth surface's steps, so that
  // its edges stay unmarked while creases beyond that show.
  if (!curved.empty()) chosen.featureAngle = std::ceil(1.5 * Quantile(curved, 0.9));
  chosen.featureAngle = std::clamp(chosen.featureAngle, minFeatureAngle, maxFeatureAngle);

  std::vector<double> widths;
  for (const Measured& m : inner) {
    if (m.angle < chosen.featureAngle) continue;
    ++chosen.featureEdges;
    for (const int32_t polygon : {m.edge.first, m.edge.second})
      widths.push_back(WidthAcross(*m.mesh, polygon, m.edge.a, m.edge.b));
  }
  // A rounding wider than the narrow faces along the features runs over
  // them into the next feature and shows as jagged shading. A bevelled or
  // chamfered edge has a narrow face on at least one of its two sides, so
  // the lower quartile of the widths is a narrow face's width however few
  // wide faces there are; three quarters of it stays inside such a face.
  chosen.radius = maxRadiusShare * diagonal;
  if (!widths.empty())
    chosen.radius =
        std::clamp(radiusShareOfWidth * Quantile(widths, 0.25), minRadiusShare * diagonal, maxRadiusShare * diagonal);
  return chosen;
}

}  // namespace tess::render
