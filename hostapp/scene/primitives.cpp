#include "hostapp/scene/primitives.h"

#include <algorithm>
#include <cmath>

#include "hostapp/assets/vec.h"

namespace tess::render {
namespace {

constexpr double pi = 3.141592653589793;

int32_t Index(size_t i) {
  return static_cast<int32_t>(i);
}

// A closed grid over (ring, along) where `along` wraps around: quads between
// consecutive rings, wound so that d/d(ring) x d/d(along) faces outward.
void AddWrappedBand(Mesh& mesh, int32_t firstRow, int32_t secondRow, int count) {
  for (int k = 0; k < count; ++k) {
    const int32_t next = (k + 1) % count;
    mesh.polygons.push_back({firstRow + k, secondRow + k, secondRow + next, firstRow + next});
  }
}

// A fan of triangles from a centre point to a wrapped row.
void AddFan(Mesh& mesh, int32_t centre, int32_t row, int count, bool reverse) {
  for (int k = 0; k < count; ++k) {
    const int32_t a = row + k, b = row + (k + 1) % count;
    if (reverse)
      mesh.polygons.push_back({centre, b, a, a});
    else
      mesh.polygons.push_back({centre, a, b, b});
  }
}

}  // namespace

Mesh MakeCube(double size) {
  const double h = size / 2;
  Mesh m;
  for (int i = 0; i < 8; ++i) m.points.push_back({(i & 1) ? h : -h, (i & 2) ? h : -h, (i & 4) ? h : -h});
  // Point i has x from bit 0, y from bit 1, z from bit 2.
  m.polygons = {
      {0, 4, 6, 2},  // -x
      {1, 3, 7, 5},  // +x
      {0, 1, 5, 4},  // -y
      {2, 6, 7, 3},  // +y
      {0, 2, 3, 1},  // -z
      {4, 5, 7, 6},  // +z
  };
  return m;
}

Mesh MakePlane(double size, int segments) {
  Mesh m;
  const int n = std::max(1, segments);
  for (int j = 0; j <= n; ++j)
    for (int i = 0; i <= n; ++i) m.points.push_back({size * (i / double(n) - 0.5), 0.0, size * (j / double(n) - 0.5)});
  for (int j = 0; j < n; ++j)
    for (int i = 0; i < n; ++i) {
      const int32_t a = j * (n + 1) + i;
      m.polygons.push_back({a, a + n + 1, a + n + 2, a + 1});
    }
  return m;
}

Mesh MakeSphere(double size, int segments) {
  Mesh m;
  const int around = std::max(3, segments);
  const int rings = std::max(2, around / 2);
  const double r = size / 2;
  m.points.push_back({0, r, 0});  // north pole
  for (int j = 1; j < rings; ++j) {
    const double theta = pi * j / rings;
    for (int k = 0; k < around; ++k) {
      const double phi = 2 * pi * k / around;
      m.points.push_back(
          {r * std::sin(theta) * std::cos(phi), r * std::cos(theta), -r * std::sin(theta) * std::sin(phi)});
    }
  }
  m.points.push_back({0, -r, 0});  // south pole
  const int32_t south = Index(m.points.size() - 1);
  AddFan(m, 0, 1, around, false);
  for (int j = 1; j + 1 < rings; ++j) AddWrappedBand(m, 1 + (j - 1) * around, 1 + j * around, around);
  AddFan(m, south, 1 + (rings - 2) * around, around, true);
  return m;
}

Mesh MakeCylinder(double size, int segments) {
  Mesh m;
  const int around = std::max(3, segments);
  const double r = size / 2;
  for (const double y : {size / 2, -size / 2})
    for (int k = 0; k < around; ++k) {
      const double phi = 2 * pi * k / around;
      m.points.push_back({r * std::cos(phi), y, -r * std::sin(phi)});
    }
  m.points.push_back({0, size / 2, 0});
  m.points.push_back({0, -size / 2, 0});
  const int32_t top = Index(m.points.size() - 2), bottom = top + 1;
  AddWrappedBand(m, 0, around, around);
  AddFan(m, top, 0, around, false);
  AddFan(m, bottom, around, around, true);
  return m;
}

Mesh MakeTorus(double size, int segments, int sides) {
  Mesh m;
  const int around = std::max(3, segments), tube = std::max(3, sides);
  const double ring = size * 0.35, radius = size * 0.15;
  for (int k = 0; k < around; ++k) {
    const double phi = 2 * pi * k / around;
    for (int s = 0; s < tube; ++s) {
      const double psi = 2 * pi * s / tube;
      const double w = ring + radius * std::cos(psi);
      m.points.push_back({w * std::cos(phi), radius * std::sin(psi), -w * std::sin(phi)});
    }
  }
  for (int k = 0; k < around; ++k) {
    const int32_t row = k * tube, next = ((k + 1) % around) * tube;
    for (int s = 0; s < tube; ++s) {
      const int32_t s1 = (s + 1) % tube;
      m.polygons.push_back({row + s, next + s, next + s1, row + s1});
    }
  }
  return m;
}

std::optional<Mesh> MakePrimitive(const std::string& name, double size, int segments) {
  if (name == "cube") return MakeCube(size);
  if (name == "plane") return MakePlane(size, segments > 0 ? segments : 1);
  if (name == "sphere") return MakeSphere(size, segments > 0 ? segments : 24);
  if (name == "cylinder") return MakeCylinder(size, segments > 0 ? segments : 24);
  if (name == "torus") {
    const int around = segments > 0 ? segments : 24;
    return MakeTorus(size, around, std::max(3, around / 2));
  }
  return std::nullopt;
}

const char* PrimitiveNames() {
  return "cube, plane, sphere, cylinder, torus";
}

}  // namespace tess::render
