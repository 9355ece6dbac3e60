// Handles built from the same polygons share one adjacency table, and only
// while the polygons are what the table was built from.
#include <gtest/gtest.h>

#include <cstdint>
#include <utility>
#include <vector>

#include "hostapp/services/neighbor.h"
#include "hostapp/services/shared_adjacency.h"

namespace {

using tess::host::AdjacencyBuilds;
using P = std::pair<int32_t, int32_t>;

const HostNeighborApi& Api() {
  return *tess::host::NeighborTable();
}

// A strip of quads in a row: quad i has points i, i + 1 below and
// count + 1 + i, count + 2 + i above, so quads i and i + 1 share the edge
// i + 1 to count + 2 + i.
std::vector<HostPolygon> Strip(int32_t count) {
  std::vector<HostPolygon> polys;
  polys.reserve(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) polys.push_back({i, i + 1, count + 2 + i, count + 1 + i});
  return polys;
}

struct Handle {
  Handle() : n(Api().create()) {}
  ~Handle() { Api().release(n); }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;

  bool Init(int32_t points, const std::vector<HostPolygon>& polys) const {
    return Api().init(n, points, polys.data(), static_cast<int32_t>(polys.size()), nullptr) != 0;
  }
  P Polys(int32_t a, int32_t b) const {
    int32_t f = 7, s = 7;
    Api().edgePolys(n, a, b, &f, &s);
    return {f, s};
  }
  HostNeighbor* n;
};

TEST(SharedAdjacency, HandlesOfTheSamePolygonsShareOneBuildUntilTheLastLetsGo) {
  const std::vector<HostPolygon> strip = Strip(4);
  Handle a, b, c;
  const uint64_t before = AdjacencyBuilds();
  ASSERT_TRUE(a.Init(10, strip));
  ASSERT_TRUE(b.Init(10, strip));
  EXPECT_EQ(AdjacencyBuilds() - before, 1u);
  EXPECT_EQ(b.Polys(1, 6), P(0, 1));
  EXPECT_EQ(Api().edgeCount(b.n), Api().edgeCount(a.n));

  // One holder letting go leaves the table to the other.
  Api().flush(a.n);
  EXPECT_EQ(Api().edgeCount(a.n), 0);
  EXPECT_EQ(b.Polys(2, 7), P(1, 2));
  ASSERT_TRUE(c.Init(10, strip));
  EXPECT_EQ(AdjacencyBuilds() - before, 1u);

  // With every holder gone the table is freed, and the next handle builds anew.
  Api().flush(b.n);
  Api().release(c.n);
  c.n = Api().create();
  ASSERT_TRUE(a.Init(10, strip));
  EXPECT_EQ(AdjacencyBuilds() - before, 2u);
  EXPECT_EQ(a.Polys(1, 6), P(0, 1));
}

TEST(SharedAdjacency, PolygonsRefilledInPlaceGetATableOfTheirOwn) {
  std::vector<HostPolygon> polys = Strip(4);
  Handle old, renewed;
  ASSERT_TRUE(old.Init(10, polys));
  // Same address and counts, other polygons: quad 2 moves onto quad 3.
  polys[2] = polys[3];
  const uint64_t before = AdjacencyBuilds();
  ASSERT_TRUE(renewed.Init(10, polys));
  EXPECT_EQ(AdjacencyBuilds() - before, 1u);
  EXPECT_EQ(renewed.Polys(2, 7), P(1, -1));
  EXPECT_EQ(renewed.Polys(3, 4), P(2, 3));
  // The older handle still answers for what it was built from.
  EXPECT_EQ(old.Polys(2, 7), P(1, 2));
  EXPECT_EQ(old.Polys(3, 4), P(3, -1));
}

TEST(SharedAdjacency, AnotherPointCountIsAnotherTable) {
  // With 9 points the last quad names point 9 and is left out.
  const std::vector<HostPolygon> strip = Strip(4);
  Handle all, fewer;
  ASSERT_TRUE(all.Init(10, strip));
  EXPECT_FALSE(fewer.Init(9, strip));
  EXPECT_EQ(all.Polys(3, 4), P(3, -1));
  EXPECT_EQ(fewer.Polys(3, 4), P(-1, -1));
}

TEST(SharedAdjacency, ARetentionKeepsTablesBuiltWhileNoHandleHoldsThem) {
  const std::vector<HostPolygon> strip = Strip(3);
  Handle h;
  const uint64_t before = AdjacencyBuilds();
  {
    const tess::host::AdjacencyRetention keep;
    ASSERT_TRUE(h.Init(8, strip));
    Api().flush(h.n);
    ASSERT_TRUE(h.Init(8, strip));
    EXPECT_EQ(AdjacencyBuilds() - before, 1u);
    Api().flush(h.n);
  }
  ASSERT_TRUE(h.Init(8, strip));
  EXPECT_EQ(AdjacencyBuilds() - before, 2u) << "freed when the retention ended";
}

}  // namespace
