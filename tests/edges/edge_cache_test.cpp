// The per-thread adjacency cache and the edge-selection lookup, observed
// through the host calls they make.
#include <vector>

#include "source/softedge/softedge.h"
#include "tests/edges/edge_fixture.h"

namespace tess::test {
namespace {

// Counts the host's adjacency builds and tag fetches, forwarding to the real services.
struct Counters {
  static inline int builds = 0;
  static inline int tagFetches = 0;
  static inline const HostNeighborApi* neighbor = nullptr;
  static inline const HostRenderApi* render = nullptr;
};

class EdgeCacheTest : public EdgeTest {
 protected:
  void SetUp() override {
    EdgeTest::SetUp();
    Counters::builds = Counters::tagFetches = 0;
    Counters::neighbor = table.neighbor;
    Counters::render = table.render;
    countingNeighbor = *table.neighbor;
    countingNeighbor.init = [](HostNeighbor* n, int32_t pc, const HostPolygon* p, int32_t c, const HostSelect* s) {
      ++Counters::builds;
      return Counters::neighbor->init(n, pc, p, c, s);
    };
    countingRender = *table.render;
    countingRender.getTag = [](const HostObject* o, int32_t type, int32_t n) {
      ++Counters::tagFetches;
      return Counters::render->getTag(o, type, n);
    };
    table.neighbor = &countingNeighbor;
    table.render = &countingRender;

    node.container.SetFloat(SOFTEDGE_ANGLE_MIN, 0.0);
    node.container.SetFloat(SOFTEDGE_ANGLE_MAX, 90 * degree);
    node.container.SetFloat(SOFTEDGE_RADIUS, 0.25);
    node.container.SetInt(SOFTEDGE_SELECTION_MODE, edges::SELECTION_ONLY);
    SetCurve(SOFTEDGE_PROFILE);
    BaseShader s(&node);
    shader->InitRender(&s, HostInitRender{});
  }
  void TearDown() override {
    BaseShader s(&node);
    shader->FreeRender(&s);
    EdgeTest::TearDown();
  }
  Vector Sample(const Mesh& m, int32_t thread) {
    Aim(m, 0, {0.9, 0.5, 0});
    context.threadIndex = thread;
    BaseShader s(&node);
    return shader->Output(&s, &cd);
  }
  void UseSelection(bool on) {
    node.container.SetBool(SOFTEDGE_USE_SELECTION, on);
    BaseShader s(&node);
    shader->InitRender(&s, HostInitRender{});
  }

  HostNeighborApi countingNeighbor{};
  HostRenderApi countingRender{};
  Owned<SoftEdge> shader;
};

TEST_F(EdgeCacheTest, EachThreadBuildsItsOwnTableOncePerObject) {
  auto m = FoldedPair(60);
  Sample(*m, 0);
  Sample(*m, 0);
  EXPECT_EQ(Counters::builds, 1) << "a thread that keeps hitting one object reuses its table";
  Sample(*m, 1);
  Sample(*m, 1);
  EXPECT_EQ(Counters::builds, 2) << "the second thread builds a table of its own";
}

TEST_F(EdgeCacheTest, AThreadAlternatingBetweenObjectsRebuildsAtEveryChange) {
  auto a = FoldedPair(60), b = FoldedPair(-60);
  for (int i = 0; i < 3; ++i) {
    Sample(*a, 7);
    Sample(*b, 7);
  }
  EXPECT_EQ(Counters::builds, 6);
}

TEST_F(EdgeCacheTest, RenderPreparationEmptiesTheSlots) {
  auto m = FoldedPair(60);
  Sample(*m, 3);
  BaseShader s(&node);
  shader->InitRender(&s, HostInitRender{});
  Sample(*m, 3);
  EXPECT_EQ(Counters::builds, 2);
}

TEST_F(EdgeCacheTest, ThreadsPastTheSlotsBuildATableForEachSample) {
  auto m = FoldedPair(60);
  const Vector expected = Sample(*m, 0);
  const int64_t held = host::Services().memory.LiveBlocks();
  EXPECT_EQ(Sample(*m, 256), expected);
  EXPECT_EQ(Sample(*m, 256), expected);
  EXPECT_EQ(Counters::builds, 3);
  EXPECT_EQ(host::Services().memory.LiveBlocks(), held) << "a sample's own table is released with it";
}

TEST_F(EdgeCacheTest, WithTheSelectionOffNoTagIsFetched) {
  auto m = FoldedPair(60);
  m->source.AddEdgeSelection("tessaline", {});
  Sample(*m, 0);
  EXPECT_EQ(Counters::tagFetches, 0);
  UseSelection(true);
  Sample(*m, 0);
  EXPECT_GT(Counters::tagFetches, 0);
}

TEST_F(EdgeCacheTest, TheFirstTagNamedTessalineWinsAmongTheFirstFifty) {
  auto m = FoldedPair(60);
  const Vector bent = Sample(*m, 0);
  const Vector flat(0.5, 0.5, 0.0);
  UseSelection(true);  // selected-only: the shared edge acts only when selected

  m->source.AddEdgeSelection("other", {});
  EXPECT_EQ(Sample(*m, 0), bent) << "no tag of that name: no selection, so the mode does not apply";

  m->source.AddEdgeSelection("tessaline", {edges::EdgeNumber(0, 1)});
  m->source.AddEdgeSelection("tessaline", {});
  EXPECT_EQ(Sample(*m, 0), bent) << "the first of two tags named tessaline is used";

  auto reversed = FoldedPair(60);
  reversed->source.AddEdgeSelection("tessaline", {});
  reversed->source.AddEdgeSelection("tessaline", {edges::EdgeNumber(0, 1)});
  EXPECT_EQ(Sample(*reversed, 0), flat);
}

TEST_F(EdgeCacheTest, TheFiftyFirstEdgeSelectionIsNeverLookedAt) {
  auto m = FoldedPair(60);
  for (int i = 0; i < 50; ++i) m->source.AddEdgeSelection("tag" + std::to_string(i), {});
  m->source.AddEdgeSelection("tessaline", {edges::EdgeNumber(0, 1)});
  node.container.SetInt(SOFTEDGE_SELECTION_MODE, edges::SELECTION_EXCLUDE);
  UseSelection(true);
  EXPECT_NE(Sample(*m, 0), Vector(0.5, 0.5, 0.0)) << "not found, so not excluded";
  EXPECT_EQ(Counters::tagFetches, 50);
}

TEST_F(EdgeCacheTest, OtherTagTypesDoNotCountTowardsTheFifty) {
  auto m = FoldedPair(60);
  for (int i = 0; i < 60; ++i) m->source.AddTag(5600, "tessaline");
  m->source.AddEdgeSelection("tessaline", {edges::EdgeNumber(0, 1)});
  node.container.SetInt(SOFTEDGE_SELECTION_MODE, edges::SELECTION_EXCLUDE);
  UseSelection(true);
  EXPECT_EQ(Sample(*m, 0), Vector(0.5, 0.5, 0.0)) << "found and excluded";
}

}  // namespace
}  // namespace tess::test
