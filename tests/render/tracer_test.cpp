// The trace the shaders call: both faces, the surface's own normal, the
// maximum distance, the skipped polygon and hit object identity.
#include <gtest/gtest.h>

#include <limits>

#include "hostapp/render/shading.h"
#include "hostapp/render/surface.h"
#include "hostapp/render/tracer.h"

namespace tess::render {
namespace {

// Two unit quads facing +z, at z = 0 and z = -1, in separate objects.
struct TwoQuads : ::testing::Test {
  void SetUp() override {
    for (const double z : {0.0, -1.0}) {
      SceneObject o;
      o.mesh.points = {{-1, -1, z}, {1, -1, z}, {1, 1, z}, {-1, 1, z}};
      o.mesh.polygons = {{0, 1, 2, 3}};
      scene.objects.push_back(std::move(o));
    }
    objects = MakeRenderObjects(scene);
    ASSERT_TRUE(embree.Build(objects)) << embree.Error();
  }
  bool Trace(HostVector origin, HostVector direction, double maxDistance, HostHitId skip, HostIntersection& out) const {
    const HostRay ray = MakeRay(origin, direction);
    out = HostIntersection{};
    return tracer.Trace(HostVolumeData{}, ray, maxDistance, skip, &out);
  }
  Scene scene;
  std::vector<RenderObject> objects;
  EmbreeScene embree;
  EmbreeTracer tracer{embree, objects};
};

TEST_F(TwoQuads, BackFacesAreHitAndReportTheirOwnNormal) {
  HostIntersection hit;
  ASSERT_TRUE(Trace({0.2, 0.3, -0.5}, {0, 0, 1}, 10, {0, 0}, hit));  // from behind the front quad
  EXPECT_EQ(hit.hitId.id, 1);
  EXPECT_EQ(hit.hitId.polygon, 0);
  EXPECT_NEAR(hit.distance, 0.5, 1e-6);
  EXPECT_NEAR(hit.point.x, 0.2, 1e-9);
  EXPECT_NEAR(hit.normal.z, 1.0, 1e-12) << "never turned toward the ray";
  ASSERT_TRUE(Trace({0.2, 0.3, 1}, {0, 0, -2}, 10, {0, 0}, hit));  // any length of direction
  EXPECT_NEAR(hit.distance, 1.0, 1e-6);
  EXPECT_NEAR(hit.normal.z, 1.0, 1e-12);
}

TEST_F(TwoQuads, MaximumDistanceAndSkippedPolygonAreHonoured) {
  HostIntersection hit;
  EXPECT_FALSE(Trace({0, 0, 1}, {0, 0, -1}, 0.99, {0, 0}, hit));
  EXPECT_TRUE(Trace({0, 0, 1}, {0, 0, -1}, 1.01, {0, 0}, hit));
  ASSERT_TRUE(Trace({0, 0, 1}, {0, 0, -1}, 5, {1, 0}, hit));  // skips the front quad
  EXPECT_EQ(hit.hitId.id, 2);
  EXPECT_NEAR(hit.distance, 2.0, 1e-6);
  EXPECT_FALSE(Trace({0, 0, 1}, {0, 0, 0}, 5, {0, 0}, hit)) << "a zero direction goes nowhere";
  EXPECT_FALSE(Trace({3, 0, 1}, {0, 0, -1}, 5, {0, 0}, hit));
}

TEST_F(TwoQuads, RaysOutsideTheTracersRangeHitNothing) {
  // Finite in double precision, but past what single-precision tracing takes.
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  HostIntersection hit;
  EXPECT_FALSE(Trace({0, 0, 1e20}, {0, 0, -1}, 1e30, {0, 0}, hit));
  EXPECT_FALSE(Trace({0, 0, 1e300}, {0, 0, -1}, inf, {0, 0}, hit));
  EXPECT_FALSE(Trace({0, 0, 1}, {0, 0, -inf}, 5, {0, 0}, hit));
  EXPECT_FALSE(Trace({0, 0, 1}, {nan, 0, -1}, 5, {0, 0}, hit));
  EXPECT_FALSE(Trace({0, 0, 1}, {0, 0, -1}, nan, {0, 0}, hit));
  EXPECT_FALSE(embree.Occluded({0, 0, 1e20}, {0, 0, -1}, 1e30));
  EXPECT_TRUE(Trace({0, 0, 1e6}, {0, 0, -1}, inf, {0, 0}, hit)) << "large but in range";
}

TEST_F(TwoQuads, HitObjectsAreTheRenderersOwnRecords) {
  EXPECT_EQ(tracer.HitObject({1, 0}), &objects[0].ray);
  EXPECT_EQ(tracer.HitObject({2, 0}), &objects[1].ray);
  EXPECT_EQ(tracer.HitObject({0, 0}), nullptr);
  EXPECT_EQ(tracer.HitObject({3, 0}), nullptr);
  EXPECT_EQ(objects[1].ray.polygonCount, 1);
  EXPECT_EQ(objects[1].ray.points[0].z, -1.0);
}

// An arrowhead: tip (0, 2), rear corners (1, -1) and (-1, -1), its notch
// reaching up to (0, 0). Whichever corner of the quad the notch is, the
// ray tracer splits it along the diagonal inside it.
TEST(ConcaveQuad, ARayThroughTheNotchMissesAndOneInsideHitsThePointItHits) {
  const HostVector corners[4] = {{0, 0, 0}, {1, -1, 0}, {0, 2, 0}, {-1, -1, 0}};
  for (int first = 0; first < 4; ++first) {
    SCOPED_TRACE("the notch is corner " + std::to_string((4 - first) % 4));
    Scene scene;
    SceneObject o;
    for (int k = 0; k < 4; ++k) o.mesh.points.push_back(corners[(first + k) % 4]);
    o.mesh.polygons = {{0, 1, 2, 3}};
    scene.objects.push_back(std::move(o));
    std::vector<RenderObject> objects = MakeRenderObjects(scene);
    EmbreeScene embree;
    ASSERT_TRUE(embree.Build(objects)) << embree.Error();
    const EmbreeTracer tracer{embree, objects};
    HostIntersection hit;
    const auto trace = [&](double x, double y) {
      hit = HostIntersection{};
      return tracer.Trace(HostVolumeData{}, MakeRay({x, y, 1}, {0, 0, -1}), 10, {0, 0}, &hit);
    };
    EXPECT_FALSE(trace(0, -0.5)) << "the notch";
    EXPECT_FALSE(trace(0.5, -0.8)) << "the notch, beside its middle";
    for (const auto& [x, y] : {std::pair{0.0, 1.0}, {0.6, -0.5}, {-0.6, -0.5}, {0.1, 0.3}, {-0.2, 0.8}}) {
      ASSERT_TRUE(trace(x, y)) << x << ", " << y;
      EXPECT_EQ(hit.hitId.polygon, 0);
      EXPECT_NEAR(hit.normal.z, 1.0, 1e-12) << "wound as the quad is";
      // The renderer's own surface point for Embree's (u, v) is the point hit.
      const RayHit h = embree.Intersect({x, y, 1}, {0, 0, -1}, 10);
      const Surface surface = SurfaceAt(objects[0], 0, h.u, h.v);
      EXPECT_NEAR(surface.point.x, x, 1e-6);
      EXPECT_NEAR(surface.point.y, y, 1e-6);
      EXPECT_NEAR(surface.geometricNormal.z, 1.0, 1e-12);
    }
  }
}

}  // namespace
}  // namespace tess::render
