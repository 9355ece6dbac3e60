// Soft Edge's ray sampling method against a tracer whose every answer is
// written here, so that each case is exact.
#include <cmath>

#include "hostapp/services/scripted_tracer.h"
#include "source/softedge/softedge.h"
#include "tests/edges/edge_fixture.h"

namespace tess::test {
namespace {

using host::ScriptedTracer;

class SampledOutput : public EdgeTest {
 protected:
  SampledOutput() {
    context.tracer = &tracer;
    mesh = FoldedPair(90);
    ray.direction = {0, 0, -1};
    Aim(*mesh, 0, {0.5, 0.5, 0});
    vd.ray = &ray;
    vd.hitId = {1, 0};
    tracer.SetObject(1, &mesh->object);
    tracer.SetObject(2, &other);
    node.container.SetInt(SOFTEDGE_METHOD, SOFTEDGE_METHOD_SAMPLING);
    node.container.SetInt(SOFTEDGE_SAMPLES, 16);
    node.container.SetFloat(SOFTEDGE_RADIUS, 0.5);
    node.container.SetFloat(SOFTEDGE_ANGLE_MIN, 0.0);
    node.container.SetFloat(SOFTEDGE_ANGLE_MAX, PI);
  }
  Vector Render() {
    BaseShader s(&node);
    shader->InitRender(&s, HostInitRender{});
    const Vector colour = shader->Output(&s, &cd);
    shader->FreeRender(&s);
    return colour;
  }
  // Every ray hits object `id` at the given distance from the shaded point, with the given normal.
  void HitEverything(int32_t id, double distance, HostVector normal) {
    const HostVector p = vd.point;
    tracer.SetScript([=](const ScriptedTracer::Request& r) {
      HostIntersection hit{};
      hit.hitId = {id, 0};
      hit.point = {p.x + r.direction.x * distance, p.y + r.direction.y * distance, p.z + r.direction.z * distance};
      hit.normal = normal;
      return ScriptedTracer::Answer(hit);
    });
  }

  ScriptedTracer tracer;
  std::unique_ptr<Mesh> mesh;
  HostRayObject other{};
  HostRay ray{};
  Owned<SoftEdge> shader;
};

void ExpectNear(const Vector& a, const Vector& b, double tolerance = 1e-12) {
  EXPECT_NEAR(a.x, b.x, tolerance);
  EXPECT_NEAR(a.y, b.y, tolerance);
  EXPECT_NEAR(a.z, b.z, tolerance);
}

TEST_F(SampledOutput, NoAcceptedRayGivesTheNormalisedShadingNormal) {
  vd.normal = {0, 0, 2};
  EXPECT_EQ(Render(), Vector(0.5, 0.5, 0.0));
  EXPECT_EQ(tracer.Requests().size(), 16u);
}

TEST_F(SampledOutput, OneSampleOrNoRadiusTurnsTheMethodOff) {
  vd.normal = {0, 0, 2};
  node.container.SetInt(SOFTEDGE_SAMPLES, 1);
  EXPECT_EQ(Render(), Vector(0.5, 0.5, -0.5)) << "encoded as given, not normalised";
  node.container.SetInt(SOFTEDGE_SAMPLES, 16);
  node.container.SetFloat(SOFTEDGE_RADIUS, 0.0);
  EXPECT_EQ(Render(), Vector(0.5, 0.5, -0.5));
  node.container.SetFloat(SOFTEDGE_RADIUS, -1.0);
  EXPECT_EQ(Render(), Vector(0.5, 0.5, -0.5));
  EXPECT_TRUE(tracer.Requests().empty());
}

TEST_F(SampledOutput, HitsAtDistanceZeroBlendHalfwayToTheirMeanNormal) {
  HitEverything(1, 0.0, {1, 0, 0});
  ExpectNear(Render(), edges::EncodeNormal(edges::Normalize(Vector(0.5, 0, 0.5))));
}

TEST_F(SampledOutput, DistantHitsWeighLess) {
  HitEverything(1, 0.25, {1, 0, 0});  // half the radius: weight 0.5, blend 0.25
  ExpectNear(Render(), edges::EncodeNormal(edges::Normalize(Vector(0.25, 0, 0.75))));
}

TEST_F(SampledOutput, RaysStartJustAlongTheIncomingRayAndReachTheRadius) {
  Render();
  const auto requests = tracer.Requests();
  ASSERT_FALSE(requests.empty());
  for (const auto& r : requests) {
    EXPECT_EQ(Vector(r.origin), Vector(0.5, 0.5, -0.001));
    EXPECT_EQ(r.maxDistance, 0.5);
    EXPECT_EQ(r.skip.id, 0);
    EXPECT_EQ(r.skip.polygon, 0);
    EXPECT_EQ(r.ray.factor, 1.0);
    EXPECT_EQ(Vector(r.ray.origins[2]), Vector(r.origin));
    EXPECT_EQ(Vector(r.ray.weight), Vector(1.0));
  }
}

TEST_F(SampledOutput, ThirtyTwoSamplesTraceTwentyFivePatternRaysAndSevenZeroRays) {
  node.container.SetInt(SOFTEDGE_SAMPLES, 32);
  Render();
  const auto requests = tracer.Requests();
  ASSERT_EQ(requests.size(), 32u);
  for (size_t i = 0; i < 32; ++i) {
    const double length = edges::Length(Vector(requests[i].direction));
    if (i < 25) {
      EXPECT_NEAR(length, 1.0, 1e-12) << i;
    } else {
      EXPECT_EQ(length, 0.0) << i;
    }
  }
}

TEST_F(SampledOutput, EdgeTypesKeepTheRaysInOneHemisphereOfTheSecondNormal) {
  vd.secondNormal = {0, 0.6, 0.8};
  for (int32_t type : {1, 2}) {
    tracer.ClearRequests();
    node.container.SetInt(SOFTEDGE_EDGE_TYPE, type);
    Render();
    for (const auto& r : tracer.Requests()) {
      const double side = edges::Dot(Vector(r.direction), Vector(vd.secondNormal));
      if (type == 1) EXPECT_GE(side, 0.0);
      if (type == 2) EXPECT_LE(side, 0.0);
    }
  }
  tracer.ClearRequests();
  node.container.SetInt(SOFTEDGE_EDGE_TYPE, 0);
  Render();
  int below = 0;
  for (const auto& r : tracer.Requests()) below += edges::Dot(Vector(r.direction), Vector(vd.secondNormal)) < 0;
  EXPECT_GT(below, 0) << "all edges: the whole sphere";
}

TEST_F(SampledOutput, SameObjectCountsOnlyHitsOnTheShadedObject) {
  HitEverything(2, 0.0, {1, 0, 0});
  const Vector otherCounted = Render();
  ExpectNear(otherCounted, edges::EncodeNormal(edges::Normalize(Vector(0.5, 0, 0.5))));
  node.container.SetBool(SOFTEDGE_SAME_OBJECT, true);
  tracer.ClearRequests();
  EXPECT_EQ(Render(), Vector(0.5, 0.5, 0.0));
  EXPECT_EQ(tracer.Requests().size(), 16u) << "traced but not counted";
  HitEverything(1, 0.0, {1, 0, 0});
  EXPECT_EQ(Render(), otherCounted);
}

TEST_F(SampledOutput, HitsOutsideTheAngleWindowDoNotCount) {
  node.container.SetFloat(SOFTEDGE_ANGLE_MIN, DegToRad(30));
  node.container.SetFloat(SOFTEDGE_ANGLE_MAX, DegToRad(60));
  HitEverything(1, 0.0, {1, 0, 0});  // 90 degrees from the shading normal
  EXPECT_EQ(Render(), Vector(0.5, 0.5, 0.0));
  HitEverything(1, 0.0, {0, std::sin(DegToRad(45)), std::cos(DegToRad(45))});
  EXPECT_NE(Render(), Vector(0.5, 0.5, 0.0));
  HitEverything(1, 0.0, {0, 0, -1});  // folded fully back: pi in single precision
  node.container.SetFloat(SOFTEDGE_ANGLE_MAX, PI);
  EXPECT_EQ(Render(), Vector(0.5, 0.5, 0.0));
}

TEST_F(SampledOutput, OtherChannelsAndMethods) {
  HitEverything(1, 0.0, {1, 0, 0});
  cd.flags = HOST_CHANNEL_BUMP << 6;
  EXPECT_EQ(Render(), Vector(1.0));
  cd.flags = HOST_CHANNEL_NORMAL << 6;
  node.container.SetInt(SOFTEDGE_METHOD, 2);
  EXPECT_EQ(Render(), Vector());
}

TEST_F(SampledOutput, ThreadsPastTheSlotsUseAPatternSeededAsTheirSlotWouldBe) {
  context.threadIndex = 300;
  Render();
  Sampler expected(16, 666u * 300u, SAMPLER_MULTIJITTERED);
  expected.Generate();
  expected.MapToSphere();
  const auto requests = tracer.Requests();
  ASSERT_EQ(requests.size(), 16u);
  for (Int32 i = 0; i < 16; ++i) EXPECT_EQ(Vector(requests[i].direction), expected.GetSphereSample(i)) << i;
}

TEST_F(SampledOutput, EachSampleOfAThreadDrawsANewPattern) {
  BaseShader s(&node);
  shader->InitRender(&s, HostInitRender{});
  shader->Output(&s, &cd);
  const auto first = tracer.Requests();
  tracer.ClearRequests();
  shader->Output(&s, &cd);
  const auto second = tracer.Requests();
  shader->FreeRender(&s);
  ASSERT_EQ(first.size(), second.size());
  EXPECT_NE(Vector(first[0].direction), Vector(second[0].direction));
}

TEST_F(SampledOutput, CountsNoneNegativeOrTooLargeForMemoryTraceNothing) {
  vd.normal = {0, 0, 2};
  for (int32_t count : {0, -5}) {
    node.container.SetInt(SOFTEDGE_SAMPLES, count);
    EXPECT_EQ(Render(), Vector(0.5, 0.5, 0.0)) << count;
  }
  host::Services().memory.SetSizeLimit(1 << 20);
  node.container.SetInt(SOFTEDGE_SAMPLES, 10000000);
  EXPECT_EQ(Render(), Vector(0.5, 0.5, 0.0));
  host::Services().memory.SetSizeLimit(0);
  EXPECT_TRUE(tracer.Requests().empty());
}

}  // namespace
}  // namespace tess::test
