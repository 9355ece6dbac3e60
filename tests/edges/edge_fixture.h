// A small world for the edge shaders: meshes as the renderer hands them over,
// a hit record aimed at one of their polygons, and the real host services.
#ifndef TESSALINE_TESTS_EDGES_EDGE_FIXTURE_H
#define TESSALINE_TESTS_EDGES_EDGE_FIXTURE_H

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "host/c4d_memory.h"
#include "hostapp/services/container.h"
#include "hostapp/services/gradient.h"
#include "hostapp/services/render_data.h"
#include "hostapp/services/scene.h"
#include "hostapp/services/services.h"
#include "hostapp/services/spline.h"

namespace tess::test {

struct Mesh {
  std::vector<HostVector> points;
  std::vector<HostPolygon> polygons;
  HostObject source;
  HostRayObject object{};

  // Call after filling points and polygons; the mesh must not move afterwards.
  void Finish() {
    object.points = points.data();
    object.pointCount = static_cast<int32_t>(points.size());
    object.polygons = polygons.data();
    object.polygonCount = static_cast<int32_t>(polygons.size());
    object.source = &source;
  }
};

// Two unit quads sharing the edge x = 1 (points 1 and 2). The second is
// turned about that edge by `foldDegrees`: 0 is flat, positive folds it up
// towards the first quad's normal (+z), a concave valley; negative folds it
// down, a convex ridge.
inline std::unique_ptr<Mesh> FoldedPair(double foldDegrees) {
  auto m = std::make_unique<Mesh>();
  const double phi = foldDegrees * 3.141592653589793 / 180.0;
  const double cx = 1.0 + std::cos(phi), cz = std::sin(phi);
  m->points = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {cx, 0, cz}, {cx, 1, cz}};
  m->polygons = {{0, 1, 2, 3}, {1, 4, 5, 2}};
  m->Finish();
  return m;
}

// Two triangles sharing the diagonal 1-2 of the unit square, both in z = 0.
inline std::unique_ptr<Mesh> TrianglePair() {
  auto m = std::make_unique<Mesh>();
  m->points = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}};
  m->polygons = {{0, 1, 2, 2}, {1, 3, 2, 2}};
  m->Finish();
  return m;
}

constexpr double degree = 3.141592653589793 / 180.0;

class EdgeTest : public ::testing::Test {
 protected:
  // The host is in place before the shaders of derived fixtures are made, and
  // stays until they are gone.
  EdgeTest() {
    host::ResetServices();
    table = host::MakeHostTable();
    SetHostTable(&table);
    cd.flags = HOST_CHANNEL_NORMAL << 6;
    cd.vd = &vd;
    vd.renderer = &context;
    vd.context = &context;
    vd.hitId = HostHitId{1, 0};
  }
  ~EdgeTest() override { SetHostTable(nullptr); }

  void Aim(const Mesh& m, int32_t polygon, HostVector point, HostVector normal = {0, 0, 1}) {
    vd.object = &m.object;
    vd.hitId = HostHitId{1, polygon};
    vd.point = point;
    vd.normal = normal;
    vd.secondNormal = normal;
  }

  // A curve under the given id of the node, the straight line 0 → 1 unless knots are given.
  void SetCurve(int32_t id, std::vector<HostSpline::Knot> knots = {}) {
    auto curve = std::make_unique<HostSpline>();
    if (knots.empty()) {
      curve->SetLinePreset(2);
    } else {
      curve->SetKnots(std::move(knots));
    }
    node.container.SetData(id, std::move(curve));
  }

  HostTable table{};
  host::SampleContext context{0, nullptr};
  HostVolumeData vd{};
  HostChannelData cd{};
  HostNode node;
};

// Owns a shader made by its allocation function, as the host would.
template <typename Shader>
struct Owned {
  Owned() : shader(static_cast<Shader*>(Shader::Alloc())) {}
  ~Owned() {
    ShaderData* base = shader;
    DeleteObj(base);
  }
  Shader* operator->() const { return shader; }
  Shader* shader;
};

}  // namespace tess::test

#endif
