// Welding: which points become one, what polygons become, and what stays as
// it was.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "hostapp/assets/weld.h"

namespace tess::assets {
namespace {

bool Same(const HostPolygon& p, HostPolygon q) {
  return p.a == q.a && p.b == q.b && p.c == q.c && p.d == q.d;
}

TEST(Weld, CornersStoredApartBecomeSharedPointsInOrderOfFirstUse) {
  // Two triangles of a square, each with corners of its own, as STL stores them.
  PolygonMesh mesh{{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 0, 0}, {1, 1, 0}, {0, 1, 0}}, {{0, 1, 2, 2}, {3, 4, 5, 5}}};
  const WeldResult r = Weld(mesh, 0.0);
  EXPECT_EQ(r.pointsBefore, 6u);
  EXPECT_EQ(r.pointsAfter, 4u);
  ASSERT_EQ(mesh.points.size(), 4u);
  EXPECT_EQ(mesh.points[3].y, 1.0);
  EXPECT_EQ(mesh.points[3].x, 0.0);
  ASSERT_EQ(mesh.polygons.size(), 2u);
  EXPECT_TRUE(Same(mesh.polygons[0], {0, 1, 2, 2}));
  EXPECT_TRUE(Same(mesh.polygons[1], {0, 2, 3, 3}));
}

TEST(Weld, AMeshWithoutDuplicatePointsKeepsEveryIndex) {
  std::mt19937 random(7);
  std::uniform_real_distribution<double> coordinate(-5, 5);
  PolygonMesh mesh;
  for (int i = 0; i < 500; ++i) mesh.points.push_back({coordinate(random), coordinate(random), coordinate(random)});
  std::uniform_int_distribution<int32_t> index(0, 499);
  for (int j = 0; j < 400; ++j) {
    int32_t c[4];
    do {
      for (int32_t& k : c) k = index(random);
    } while (c[0] == c[1] || c[0] == c[2] || c[0] == c[3] || c[1] == c[2] || c[1] == c[3] || c[2] == c[3]);
    mesh.polygons.push_back({c[0], c[1], c[2], j % 3 == 0 ? c[2] : c[3]});
  }
  const PolygonMesh before = mesh;
  const WeldResult r = Weld(mesh, RelativeWeldDistance(mesh.points));
  EXPECT_EQ(r.pointsAfter, 500u);
  EXPECT_EQ(r.polygonsDropped, 0u);
  ASSERT_EQ(mesh.points.size(), before.points.size());
  for (size_t i = 0; i < mesh.points.size(); ++i) EXPECT_EQ(mesh.points[i].x, before.points[i].x) << i;
  ASSERT_EQ(mesh.polygons.size(), before.polygons.size());
  for (size_t j = 0; j < mesh.polygons.size(); ++j) EXPECT_TRUE(Same(mesh.polygons[j], before.polygons[j])) << j;
}

TEST(Weld, TheRelativeToleranceIsAMillionthOfTheDiagonal) {
  // A box of diagonal 10 (6, 8, 0): the default distance is 1e-5.
  const std::vector<HostVector> corners{{0, 0, 0}, {6, 8, 0}};
  EXPECT_DOUBLE_EQ(RelativeWeldDistance(corners), 1e-5);
  for (const auto& [offset, joined] : {std::pair{0.9e-5, true}, std::pair{1.1e-5, false}}) {
    PolygonMesh mesh{{{0, 0, 0}, {6, 8, 0}, {3, 0, 0}, {3 + offset, 0, 0}}, {{0, 2, 1, 1}, {3, 1, 0, 0}}};
    const WeldResult r = Weld(mesh, RelativeWeldDistance(mesh.points));
    EXPECT_EQ(r.pointsAfter, joined ? 3u : 4u) << offset;
    EXPECT_EQ(mesh.polygons[1].a, joined ? 2 : 3) << offset;
  }
}

TEST(Weld, AnAbsoluteDistanceJoinsPointsUpToIt) {
  PolygonMesh mesh{{{0, 0, 0}, {0.009, 0, 0}, {0, 0.011, 0}, {0, 0, -0.0}, {-0.0, 0, 0}}, {}};
  EXPECT_EQ(Weld(mesh, 0.01).pointsAfter, 2u);  // 0.011 away stays apart
  PolygonMesh exact{{{0, 0, 0}, {0.009, 0, 0}, {0, 0, -0.0}}, {}};
  EXPECT_EQ(Weld(exact, 0.0).pointsAfter, 2u) << "0 joins positions that are equal, -0 and +0 alike";
}

TEST(Weld, APointJoinsTheFirstKeptPointWithinTheDistanceNotAChain) {
  PolygonMesh mesh{{{0, 0, 0}, {0.6, 0, 0}, {1.2, 0, 0}, {1.5, 0, 0}}, {{0, 1, 2, 3}}};
  const WeldResult r = Weld(mesh, 1.0);
  // 0.6 joins 0; 1.2 is 1.2 from the only kept point and stays; 1.5 joins 1.2.
  EXPECT_EQ(r.pointsAfter, 2u);
  EXPECT_EQ(mesh.points[1].x, 1.2);
  EXPECT_EQ(r.polygonsDropped, 1u);
}

TEST(Weld, AQuadThatLosesACornerBecomesATriangleAndCollapsedPolygonsAreDropped) {
  const std::vector<HostVector> points{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {1, 0, 0}, {0, 0, 0}};
  PolygonMesh mesh{points,
                   {
                       {0, 1, 4, 2},  // b == c: (0 1 2)
                       {0, 1, 2, 5},  // d == a: (0 1 2)
                       {0, 1, 2, 3},  // kept
                       {0, 4, 1, 1},  // a triangle left with two corners: dropped
                       {0, 1, 5, 4},  // a quad left with two: dropped
                       {0, 1, 5, 2},  // folded onto itself, (a b a c): dropped
                       {5, 3, 2, 2},  // a triangle that only changes a number
                   }};
  const WeldResult r = Weld(mesh, 0.0);
  EXPECT_EQ(r.polygonsDropped, 3u);
  EXPECT_EQ(r.quadsToTriangles, 2u);
  ASSERT_EQ(mesh.polygons.size(), 4u);
  EXPECT_TRUE(Same(mesh.polygons[0], {0, 1, 2, 2}));
  EXPECT_TRUE(Same(mesh.polygons[1], {0, 1, 2, 2}));
  EXPECT_TRUE(Same(mesh.polygons[2], {0, 1, 2, 3}));
  EXPECT_TRUE(Same(mesh.polygons[3], {0, 3, 2, 2}));
}

// The grid must find every pair within the distance wherever the cell faces
// fall: compared with the pairwise rule on clouds of close clusters, between
// lone points that the grid is spared (and that must still be kept in order).
TEST(Weld, TheGridAgreesWithThePairwiseRule) {
  std::mt19937 random(11);
  std::uniform_real_distribution<double> unit(-1, 1);
  for (const double distance : {1e-3, 0.05, 0.3}) {
    PolygonMesh mesh;
    for (int cluster = 0; cluster < 300; ++cluster) {
      const HostVector centre{unit(random) * 3, unit(random) * 3, unit(random) * 3};
      for (int k = 0; k < 4; ++k)
        mesh.points.push_back({centre.x + unit(random) * distance, centre.y + unit(random) * distance,
                               centre.z + unit(random) * distance});
      // A lone point, and a pair just within the distance, often across a cell face.
      mesh.points.push_back({unit(random) * 3, unit(random) * 3, unit(random) * 3});
      const HostVector first{unit(random) * 3, unit(random) * 3, unit(random) * 3};
      const double step = 0.9 * distance / std::sqrt(3.0);
      mesh.points.push_back(first);
      mesh.points.push_back({first.x + step, first.y - step, first.z + step});
    }
    // The pairwise rule: in order, join the first earlier kept point within the distance.
    std::vector<size_t> kept;
    for (size_t i = 0; i < mesh.points.size(); ++i) {
      bool joins = false;
      for (const size_t k : kept) {
        const HostVector& p = mesh.points[i];
        const HostVector& q = mesh.points[k];
        const double d2 = (p.x - q.x) * (p.x - q.x) + (p.y - q.y) * (p.y - q.y) + (p.z - q.z) * (p.z - q.z);
        if (d2 <= distance * distance) {
          joins = true;
          break;
        }
      }
      if (!joins) kept.push_back(i);
    }
    PolygonMesh welded = mesh;
    Weld(welded, distance);
    ASSERT_EQ(welded.points.size(), kept.size()) << distance;
    for (size_t k = 0; k < kept.size(); ++k) EXPECT_EQ(welded.points[k].x, mesh.points[kept[k]].x);
  }
}

}  // namespace
}  // namespace tess::assets
