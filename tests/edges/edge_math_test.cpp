// The exact forms of the geometry both edge shaders rest on.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "source/edges/edge_math.h"

namespace {

using namespace edges;

TEST(EdgeMath, AngleClampsToSinglePrecisionPiAndHandlesZeroVectors) {
  EXPECT_EQ(Angle(Vector(0, 0, 1), Vector(0, 0, 1)), 0.0);
  EXPECT_EQ(Angle(Vector(0, 0, 1), Vector(0, 0, -1)), 3.1415927410125732);
  EXPECT_GT(Angle(Vector(0, 0, 1), Vector(0, 0, -2)), 3.141592653589793) << "folded back exceeds double pi";
  EXPECT_DOUBLE_EQ(Angle(Vector(0, 0, 1), Vector(0, 1, 0)), 3.141592653589793 / 2);
  EXPECT_DOUBLE_EQ(Angle(Vector(), Vector(0, 1, 0)), 3.141592653589793 / 2) << "zero vector";
  EXPECT_TRUE(std::isnan(Angle(Vector(std::nan(""), 0, 0), Vector(0, 1, 0))));
}

TEST(EdgeMath, LineOffsetMeasuresToTheInfiniteLine) {
  const Vector a(0, 0, 0), d(1, 0, 0);
  EXPECT_EQ(Length(LineOffset(a, d, Vector(0.5, 0.25, 0))), 0.25);
  EXPECT_EQ(Length(LineOffset(a, d, Vector(7.0, 0.25, 0))), 0.25) << "beyond the end of the edge";
  EXPECT_EQ(LineOffset(a, Vector(), Vector(3, 4, 5)), Vector()) << "zero direction";
}

TEST(EdgeMath, FaceNormalsAndCentresOfTrianglesAndQuads) {
  const HostVector p[] = {{0, 0, 0}, {2, 0, 0}, {2, 2, 0}, {0, 2, 0}};
  const CPolygon quad{0, 1, 2, 3}, tri{0, 1, 2, 2};
  EXPECT_EQ(FaceNormal(p, quad), Vector(0, 0, 1));
  EXPECT_EQ(FaceNormal(p, tri), Vector(0, 0, 1));
  EXPECT_EQ(FaceCentre(p, quad), Vector(1, 1, 0));
  EXPECT_EQ(FaceCentre(p, tri), Vector(4.0 / 3.0, 2.0 / 3.0, 0));
  const CPolygon line{0, 1, 1, 1};
  EXPECT_EQ(FaceNormal(p, line), Vector()) << "degenerate polygons have no normal";
}

TEST(EdgeMath, SidesOfTrianglesCloseWithCAAsSideTwo) {
  const CPolygon tri{4, 5, 6, 6}, quad{4, 5, 6, 7};
  EXPECT_EQ(SideCount(tri), 3);
  EXPECT_EQ(SideCount(quad), 4);
  Int32 f = 0, s = 0;
  SideCorners(tri, 2, &f, &s);
  EXPECT_EQ(f, 6);
  EXPECT_EQ(s, 4);
  SideCorners(quad, 3, &f, &s);
  EXPECT_EQ(f, 7);
  EXPECT_EQ(s, 4);
  EXPECT_EQ(EdgeNumber(10, 2), 42);
}

TEST(EdgeMath, NormalEncodingFlipsZ) {
  EXPECT_EQ(EncodeNormal(Vector(0, 0, 1)), Vector(0.5, 0.5, 0.0));
  EXPECT_EQ(EncodeNormal(Vector(1, -1, -1)), Vector(1.0, 0.0, 1.0));
  EXPECT_EQ(Normalize(Vector()), Vector());
  EXPECT_EQ(DivideBy(Vector(1, 2, 3), 0.0), Vector());
}

}  // namespace

namespace {

// The window's shortcut through cosines must agree with measuring the angle,
// also for angles that sit exactly on a bound.
TEST(EdgeMath, AngleWindowAgreesWithTheMeasuredAngleEverywhere) {
  std::mt19937 random(11);
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  int onBound = 0;
  for (int k = 0; k < 20000; ++k) {
    const Vector u(unit(random), unit(random), unit(random));
    const Vector v(unit(random), unit(random), unit(random));
    const double alpha = edges::Angle(u, v);
    // Bounds at random, and bounds equal to the angle itself or next to it.
    double lo = std::fabs(unit(random)) * PI, hi = std::fabs(unit(random)) * PI;
    if (k % 4 == 1) lo = alpha;
    if (k % 4 == 2) hi = alpha;
    if (k % 4 == 3) hi = std::nextafter(alpha, 0.0);
    if (lo > hi && k % 4 == 0) std::swap(lo, hi);
    const edges::AngleWindow window(lo, hi);
    onBound += alpha == lo || alpha == hi;
    ASSERT_EQ(window.Contains(u, v), lo <= alpha && alpha <= hi) << lo << " " << alpha << " " << hi;
  }
  EXPECT_GT(onBound, 5000);
  const edges::AngleWindow backwards(1.0, 0.5), negative(-1.0, 0.5), nan(std::nan(""), 1.0);
  EXPECT_FALSE(backwards.Contains(Vector(0, 0, 1), Vector(0, 1, 1)));
  EXPECT_TRUE(negative.Contains(Vector(0, 0, 1), Vector(0, 0, 1)));
  EXPECT_FALSE(nan.Contains(Vector(0, 0, 1), Vector(0, 0, 1)));
  EXPECT_TRUE(edges::AngleWindow(0.0, edges::piSingle).Contains(Vector(0, 0, 1), Vector(0, 0, -1)));
  EXPECT_FALSE(edges::AngleWindow(0.0, PI).Contains(Vector(0, 0, 1), Vector(0, 0, -1)));
}

}  // namespace
