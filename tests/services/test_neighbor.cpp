// Polygon adjacency through the host's table.
#include <algorithm>
#include <cstdint>
#include <map>
#include <random>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "hostapp/services/neighbor.h"

namespace {

const HostNeighborApi& Api() {
  return *tess::host::NeighborTable();
}

HostPolygon Quad(int32_t a, int32_t b, int32_t c, int32_t d) {
  return HostPolygon{a, b, c, d};
}
HostPolygon Tri(int32_t a, int32_t b, int32_t c) {
  return HostPolygon{a, b, c, c};
}

// A w x h grid of quads; point (x, y) is y * (w + 1) + x, quad (x, y) is y * w + x.
std::vector<HostPolygon> Grid(int32_t w, int32_t h) {
  std::vector<HostPolygon> polys;
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) {
      const int32_t p = y * (w + 1) + x;
      polys.push_back(Quad(p, p + 1, p + w + 2, p + w + 1));
    }
  }
  return polys;
}

class Table {
 public:
  Table() : n(Api().create()) {}
  ~Table() { Api().release(n); }
  Table(const Table&) = delete;
  Table& operator=(const Table&) = delete;

  bool Init(int32_t points, const std::vector<HostPolygon>& polys) const {
    return Api().init(n, points, polys.data(), static_cast<int32_t>(polys.size()), nullptr) != 0;
  }
  std::pair<int32_t, int32_t> Polys(int32_t a, int32_t b) const {
    int32_t f = 7, s = 7;
    Api().edgePolys(n, a, b, &f, &s);
    return {f, s};
  }
  int32_t Count() const { return Api().edgeCount(n); }
  HostNeighbor* n;
};

using P = std::pair<int32_t, int32_t>;
const P none{-1, -1};

TEST(Neighbor, QuadGridInteriorAndBorderEdges) {
  Table t;
  ASSERT_TRUE(t.Init(4 * 4, Grid(3, 3)));
  EXPECT_EQ(t.Count(), 3 * 4 + 4 * 3);
  // Horizontal edge between quads 1 (row 0) and 4 (row 1): points 5-6.
  EXPECT_EQ(t.Polys(5, 6), P(1, 4));
  EXPECT_EQ(t.Polys(6, 5), P(1, 4));
  // Vertical edge between quads 4 and 5: points 6-10.
  EXPECT_EQ(t.Polys(10, 6), P(4, 5));
  // Border edges have one polygon.
  EXPECT_EQ(t.Polys(0, 1), P(0, -1));
  EXPECT_EQ(t.Polys(11, 15), P(8, -1));
  // Diagonals and non-edges are unknown.
  EXPECT_EQ(t.Polys(0, 5), none);
  EXPECT_EQ(t.Polys(0, 15), none);
}

TEST(Neighbor, ClosedTriangleFanSharesEverySpoke) {
  // Centre 0, rim 1..n; large enough that the centre's row takes the long-row path.
  for (int32_t n : {5, 40}) {
    std::vector<HostPolygon> polys;
    for (int32_t i = 1; i <= n; ++i) polys.push_back(Tri(0, i, i == n ? 1 : i + 1));
    Table t;
    ASSERT_TRUE(t.Init(n + 1, polys));
    EXPECT_EQ(t.Count(), 2 * n);
    for (int32_t i = 1; i <= n; ++i) {
      // Spoke 0-i is side a-b of triangle i-1 and the closing side c-a of the one before.
      const int32_t before = i == 1 ? n - 1 : i - 2;
      EXPECT_EQ(t.Polys(0, i), P(std::min(before, i - 1), std::max(before, i - 1))) << "n=" << n << " i=" << i;
      EXPECT_EQ(t.Polys(i, i == n ? 1 : i + 1), P(i - 1, -1));
    }
  }
}

TEST(Neighbor, TriangleHasThreeSidesIncludingClosingSide) {
  Table t;
  ASSERT_TRUE(t.Init(10, {Tri(5, 7, 9)}));
  EXPECT_EQ(t.Count(), 3);
  EXPECT_EQ(t.Polys(5, 7), P(0, -1));
  EXPECT_EQ(t.Polys(7, 9), P(0, -1));
  EXPECT_EQ(t.Polys(9, 5), P(0, -1));
  EXPECT_EQ(t.Polys(9, 9), none);
}

TEST(Neighbor, CubeHasTwelveEdgesEachWithTwoFaces) {
  const std::vector<HostPolygon> cube{Quad(0, 1, 2, 3), Quad(4, 7, 6, 5), Quad(0, 4, 5, 1),
                                      Quad(1, 5, 6, 2), Quad(2, 6, 7, 3), Quad(3, 7, 4, 0)};
  Table t;
  ASSERT_TRUE(t.Init(8, cube));
  EXPECT_EQ(t.Count(), 12);
  for (size_t p = 0; p < cube.size(); ++p) {
    const int32_t c[4] = {cube[p].a, cube[p].b, cube[p].c, cube[p].d};
    for (int s = 0; s < 4; ++s) {
      const P polys = t.Polys(c[s], c[(s + 1) % 4]);
      EXPECT_NE(polys.second, -1);
      EXPECT_TRUE(polys.first == static_cast<int32_t>(p) || polys.second == static_cast<int32_t>(p));
      EXPECT_LT(polys.first, polys.second);
    }
  }
}

TEST(Neighbor, EdgeOfThreePolygonsReportsTheTwoLowestEveryTime) {
  // Edge 1-2 is used by polygons 3, 1 and 4 (in both directions).
  const std::vector<HostPolygon> polys{Tri(8, 9, 10), Tri(2, 1, 5), Tri(8, 10, 11), Tri(1, 2, 3), Quad(4, 2, 1, 6)};
  Table t;
  for (int round = 0; round < 3; ++round) {
    ASSERT_TRUE(t.Init(12, polys));
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(t.Polys(1, 2), P(1, 3));
      EXPECT_EQ(t.Polys(2, 1), P(1, 3));
    }
  }
}

TEST(Neighbor, PolygonNamingAnEdgeTwiceCountsOnce) {
  Table t;
  ASSERT_TRUE(t.Init(3, {Quad(1, 2, 1, 2)}));
  EXPECT_EQ(t.Count(), 1);
  EXPECT_EQ(t.Polys(1, 2), P(0, -1));
}

// Against a plain map on a random mesh with repeated edges and long rows.
TEST(Neighbor, MatchesReferenceOnRandomMesh) {
  std::mt19937 rng(12345);
  const int32_t points = 60;
  std::uniform_int_distribution<int32_t> pick(0, points - 1);
  std::vector<HostPolygon> polys;
  for (int i = 0; i < 3000; ++i) {
    const int32_t a = pick(rng), b = pick(rng), c = pick(rng), d = pick(rng);
    polys.push_back(i % 3 == 0 ? Tri(a, b, c) : Quad(a, b, c, d));
  }
  std::map<P, std::vector<int32_t>> reference;
  for (int32_t p = 0; p < static_cast<int32_t>(polys.size()); ++p) {
    const HostPolygon& q = polys[static_cast<size_t>(p)];
    std::vector<P> sides{{q.a, q.b}, {q.b, q.c}};
    if (q.c == q.d) {
      sides.emplace_back(q.c, q.a);
    } else {
      sides.emplace_back(q.c, q.d);
      sides.emplace_back(q.d, q.a);
    }
    for (auto [u, v] : sides) {
      if (u == v) continue;
      auto& list = reference[{std::min(u, v), std::max(u, v)}];
      if (std::find(list.begin(), list.end(), p) == list.end()) list.push_back(p);
    }
  }
  Table t;
  ASSERT_TRUE(t.Init(points, polys));
  EXPECT_EQ(t.Count(), static_cast<int32_t>(reference.size()));
  for (int32_t u = 0; u < points; ++u) {
    for (int32_t v = 0; v < points; ++v) {
      auto it = reference.find({std::min(u, v), std::max(u, v)});
      P expected = none;
      if (it != reference.end()) expected = {it->second[0], it->second.size() > 1 ? it->second[1] : -1};
      ASSERT_EQ(t.Polys(u, v), expected) << u << "-" << v;
    }
  }
}

TEST(Neighbor, RejectsBadInputWithoutTouchingMemoryOutside) {
  Table t;
  const std::vector<HostPolygon> grid = Grid(2, 1);
  EXPECT_FALSE(Api().init(t.n, -1, grid.data(), 2, nullptr));
  EXPECT_EQ(t.Count(), 0);
  EXPECT_FALSE(Api().init(t.n, 6, grid.data(), -2, nullptr));
  EXPECT_EQ(t.Count(), 0);
  EXPECT_FALSE(Api().init(t.n, 6, nullptr, 2, nullptr));
  EXPECT_EQ(t.Count(), 0);
  // All polygons out of range: nothing to build.
  EXPECT_FALSE(t.Init(0, grid));
  EXPECT_EQ(t.Count(), 0);
  // An empty mesh is valid and empty.
  EXPECT_TRUE(t.Init(6, {}));
  EXPECT_EQ(t.Count(), 0);
  EXPECT_EQ(t.Polys(0, 1), none);
}

TEST(Neighbor, SkipsPolygonsWithCornersOutOfRangeAndKeepsTheRest) {
  Table t;
  // Points 0..5; polygon 1 names point 6, polygon 2 names -1, polygon 3 a huge index.
  const std::vector<HostPolygon> polys{Quad(0, 1, 4, 3), Quad(1, 2, 6, 4), Tri(-1, 1, 2), Quad(1, 2, 5, INT32_MAX)};
  EXPECT_FALSE(t.Init(6, polys));
  EXPECT_EQ(t.Count(), 4);
  EXPECT_EQ(t.Polys(1, 4), P(0, -1));
  EXPECT_EQ(t.Polys(1, 2), none);
  EXPECT_EQ(t.Polys(2, 6), none);
  // Queries outside the points answer "none".
  EXPECT_EQ(t.Polys(-1, 1), none);
  EXPECT_EQ(t.Polys(INT32_MAX, INT32_MIN), none);
  EXPECT_EQ(t.Polys(3, INT32_MAX), none);
}

TEST(Neighbor, RebuildReplacesOldContent) {
  Table t;
  ASSERT_TRUE(t.Init(16, Grid(3, 3)));
  ASSERT_EQ(t.Polys(5, 6), P(1, 4));
  ASSERT_TRUE(t.Init(3, {Tri(0, 1, 2)}));
  EXPECT_EQ(t.Count(), 3);
  EXPECT_EQ(t.Polys(0, 1), P(0, -1));
  EXPECT_EQ(t.Polys(5, 6), none);
  // A failed build leaves nothing of the previous one.
  ASSERT_TRUE(t.Init(16, Grid(3, 3)));
  EXPECT_FALSE(Api().init(t.n, 16, nullptr, 9, nullptr));
  EXPECT_EQ(t.Count(), 0);
  EXPECT_EQ(t.Polys(5, 6), none);
}

TEST(Neighbor, FlushEmptiesAndTableCanBeBuiltAgain) {
  Table t;
  ASSERT_TRUE(t.Init(16, Grid(3, 3)));
  Api().flush(t.n);
  EXPECT_EQ(t.Count(), 0);
  EXPECT_EQ(t.Polys(5, 6), none);
  ASSERT_TRUE(t.Init(16, Grid(3, 3)));
  EXPECT_EQ(t.Polys(5, 6), P(1, 4));
}

TEST(Neighbor, NullTableAnswersEmpty) {
  EXPECT_FALSE(Api().init(nullptr, 3, nullptr, 0, nullptr));
  EXPECT_EQ(Api().edgeCount(nullptr), 0);
  int32_t f = 3, s = 3;
  Api().edgePolys(nullptr, 0, 1, &f, &s);
  EXPECT_EQ(P(f, s), none);
  Api().flush(nullptr);
  Api().release(nullptr);
}

}  // namespace
