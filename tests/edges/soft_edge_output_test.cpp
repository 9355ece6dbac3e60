// Soft Edge's edge geometry method through its output: which hits fall back,
// how the bent normals of the acting sides combine and are encoded.
#include <cmath>
#include <limits>

#include "source/softedge/softedge.h"
#include "tests/edges/edge_fixture.h"

namespace tess::test {
namespace {

class SoftEdgeOutput : public EdgeTest {
 protected:
  void SetUp() override {
    EdgeTest::SetUp();
    node.container.SetFloat(SOFTEDGE_ANGLE_MIN, 30 * degree);
    node.container.SetFloat(SOFTEDGE_ANGLE_MAX, 90 * degree);
    node.container.SetFloat(SOFTEDGE_RADIUS, 0.2);
    SetCurve(SOFTEDGE_PROFILE);
  }
  Vector Render() {
    BaseShader s(&node);
    EXPECT_EQ(shader->InitRender(&s, HostInitRender{}), 0);
    const Vector colour = shader->Output(&s, &cd);
    shader->FreeRender(&s);
    return colour;
  }
  Owned<SoftEdge> shader;
};

void ExpectNear(const Vector& a, const Vector& b) {
  EXPECT_NEAR(a.x, b.x, 1e-12);
  EXPECT_NEAR(a.y, b.y, 1e-12);
  EXPECT_NEAR(a.z, b.z, 1e-12);
}

TEST_F(SoftEdgeOutput, BendsHalfwayToTheMidpointAtHalfTheReach) {
  auto m = FoldedPair(60);
  Aim(*m, 0, {0.9, 0.5, 0});
  // Edge value 0.5; the hit polygon is the edge's first polygon, so the
  // midpoint is between n and the other face's normal (-sin 60, 0, cos 60).
  const double s = std::sin(60 * degree);
  const Vector mid(-s / 2, 0, 0.75);
  const Vector bent = Vector(0, 0, 1) + (mid - Vector(0, 0, 1)) * 0.5;
  ExpectNear(Render(), edges::EncodeNormal(bent));
}

TEST_F(SoftEdgeOutput, TheOtherPolygonBendsTowardsTheFirstFacesNormal) {
  auto m = FoldedPair(60);
  const Vector ng(-std::sin(60 * degree), 0, 0.5);
  // A point of the second quad at distance 0 from the shared edge: full bend.
  Aim(*m, 1, {1, 0.5, 0}, ng);
  ExpectNear(Render(), edges::EncodeNormal(edges::Lerp(Vector(0, 0, 1), ng, 0.5)));
}

TEST_F(SoftEdgeOutput, NothingActingGivesTheEncodedShadingNormal) {
  auto m = FoldedPair(60);
  Aim(*m, 0, {0.5, 0.5, 0});  // farther than the reach from every side
  EXPECT_EQ(Render(), Vector(0.5, 0.5, 0.0));
  Aim(*m, 0, {0.5, 0.5, 0}, {0, 0, 2});
  EXPECT_EQ(Render(), Vector(0.5, 0.5, -0.5)) << "encoded as given, not normalised";
}

TEST_F(SoftEdgeOutput, SeveralActingSidesAreSummedNotNormalised) {
  // Every side of the middle quad of a 3 x 3 folded grid would be needed for
  // two sides; a thin quad between two folds does it with two shared edges.
  Mesh m;
  const double c = std::cos(60 * degree), s = std::sin(60 * degree);
  m.points = {{0, 0, 0}, {0.1, 0, 0}, {0.1, 1, 0}, {0, 1, 0}, {0.1 + c, 0, s}, {0.1 + c, 1, s}, {-c, 0, s}, {-c, 1, s}};
  m.polygons = {{0, 1, 2, 3}, {1, 4, 5, 2}, {6, 0, 3, 7}};
  m.Finish();
  Aim(m, 0, {0.05, 0.5, 0});
  const Vector colour = Render();
  // Both long sides act with edge value 0.25; x cancels, z of the sum exceeds 1.
  EXPECT_NEAR(colour.x, 0.5, 1e-12);
  EXPECT_LT(colour.z, 0.0) << "the sum of two bent normals is longer than 1";
}

TEST_F(SoftEdgeOutput, HitsThatCannotBeEvaluatedGiveWhite) {
  auto m = FoldedPair(60);
  const Vector white(1, 1, 1);
  Aim(*m, 0, {0.9, 0.5, 0});
  ASSERT_NE(Render(), white);

  cd.flags = HOST_CHANNEL_BUMP << 6;
  EXPECT_EQ(Render(), white) << "bump channel";
  cd.flags = HOST_CHANNEL_NORMAL << 6;
  vd.hitId.id = 0;
  EXPECT_EQ(Render(), white) << "no polygon hit";
  vd.hitId = {1, 2};
  EXPECT_EQ(Render(), white) << "polygon index past the end";
  vd.hitId = {1, -1};
  EXPECT_EQ(Render(), white) << "negative polygon index";
  vd.hitId = {1, 0};
  vd.context = nullptr;
  EXPECT_EQ(Render(), white) << "no hit context";
  vd.context = &context;
  m->object.polygonCount = 0;
  EXPECT_EQ(Render(), white) << "no polygons";
  m->object.polygonCount = 2;
  m->object.polygons = nullptr;
  EXPECT_EQ(Render(), white) << "no polygon array";
  m->object.polygons = m->polygons.data();
  m->polygons[0].c = 99;
  EXPECT_EQ(Render(), white) << "a corner outside the points";
  m->polygons[0].c = 2;
  vd.object = nullptr;
  EXPECT_EQ(Render(), white) << "no hit object";
  cd.vd = nullptr;
  EXPECT_EQ(Render(), white) << "no hit record";
}

TEST_F(SoftEdgeOutput, ThreadIndicesPastTheSlotsAreEvaluatedAlike) {
  auto m = FoldedPair(60);
  Aim(*m, 0, {0.9, 0.5, 0});
  const Vector expected = Render();
  for (int32_t thread : {255, 256, 1023, -1, std::numeric_limits<int32_t>::max()}) {
    context.threadIndex = thread;
    EXPECT_EQ(Render(), expected) << "thread " << thread;
  }
}

TEST_F(SoftEdgeOutput, NotANumberNeverCrashesAndNeverBends) {
  auto m = FoldedPair(60);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  Aim(*m, 0, {nan, 0.5, 0});
  const Vector a = Render();
  EXPECT_EQ(a, Vector(0.5, 0.5, 0.0)) << "no side acts at a NaN point";

  Aim(*m, 0, {0.9, 0.5, 0});
  node.container.SetFloat(SOFTEDGE_RADIUS, nan);
  EXPECT_EQ(Render(), Vector(0.5, 0.5, 0.0)) << "a NaN reach admits nothing";

  node.container.SetFloat(SOFTEDGE_RADIUS, 0.2);
  m->points[5].z = nan;  // the other face's normal becomes NaN
  EXPECT_EQ(Render(), Vector(0.5, 0.5, 0.0)) << "a NaN angle fails the window";
}

TEST_F(SoftEdgeOutput, ZeroReachActsOnlyOnTheEdgeLineWithTheCurvesStart) {
  auto m = FoldedPair(60);
  node.container.SetFloat(SOFTEDGE_RADIUS, 0.0);
  Aim(*m, 0, {0.9, 0.5, 0});
  EXPECT_EQ(Render(), Vector(0.5, 0.5, 0.0));
  Aim(*m, 0, {1.0, 0.5, 0});
  const Vector ng(-std::sin(60 * degree), 0, 0.5);
  ExpectNear(Render(), edges::EncodeNormal(edges::Lerp(Vector(0, 0, 1), ng, 0.5)));
}

TEST_F(SoftEdgeOutput, WithoutACurveTheProfileIsTheStraightLine) {
  auto m = FoldedPair(60);
  Aim(*m, 0, {0.9, 0.5, 0});
  const Vector withLine = Render();
  node.container.values.erase(SOFTEDGE_PROFILE);
  EXPECT_EQ(Render(), withLine);
}

}  // namespace
}  // namespace tess::test
