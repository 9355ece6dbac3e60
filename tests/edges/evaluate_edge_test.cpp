// One edge at a time, through each shader's EvaluateEdge: the distance test,
// the angle window, selection modes, edge types and the border-edge rules in
// which the two shaders differ.
#include <cmath>

#include "source/drawedge/drawedge.h"
#include "source/softedge/softedge.h"
#include "tests/edges/edge_fixture.h"

namespace tess::test {
namespace {

constexpr int32_t sharedSide = 1;  // side 1 of quad 0 is the edge both quads share
constexpr int32_t borderSide = 0;  // side 0 of quad 0 has no second polygon

// Evaluates one side of quad 0 of a mesh with the settings in the node.
class EvaluateEdge : public EdgeTest {
 protected:
  struct Result {
    bool acts;
    double value;
    Vector bent;
  };

  void UseMesh(std::unique_ptr<Mesh> m) {
    mesh = std::move(m);
    adjacency.Init(mesh->object.pointCount, mesh->object.polygons, mesh->object.polygonCount, BaseSelect());
  }

  // The shaders number their parameters differently, so each has a node of its own.
  void Set(int32_t id, double v) { node.container.SetFloat(id, v); }
  void SetDraw(int32_t id, double v) { drawNode.container.SetFloat(id, v); }
  void SetInt(int32_t id, int32_t v) { node.container.SetInt(id, v); }
  void SetDrawInt(int32_t id, int32_t v) { drawNode.container.SetInt(id, v); }
  void SetBool(int32_t id, bool v) { node.container.SetBool(id, v); }
  void SetDrawBool(int32_t id, bool v) { drawNode.container.SetBool(id, v); }

  Result Soft(int32_t side, Vector point) {
    BaseShader s(&node);
    soft->InitRender(&s, HostInitRender{});
    Int32 first = 0, second = 0;
    edges::SideCorners(mesh->polygons[0], side, &first, &second);
    Result r{false, -1.0, Vector(0, 0, 1)};
    r.acts = soft->EvaluateEdge(first, second, 0, mesh->object.points, mesh->object.polygons, adjacency, point, r.value,
                                r.bent, BaseSelect(selected ? &selection : nullptr), side);
    return r;
  }

  Result Draw(int32_t side, Vector point) {
    BaseShader s(&drawNode);
    draw->InitRender(&s, HostInitRender{});
    Int32 first = 0, second = 0;
    edges::SideCorners(mesh->polygons[0], side, &first, &second);
    Result r{false, -1.0, Vector()};
    r.acts = draw->EvaluateEdge(first, second, 0, mesh->object.points, mesh->object.polygons, adjacency, point, r.value,
                                BaseSelect(selected ? &selection : nullptr), side);
    draw->FreeRender(&s);
    return r;
  }

  // Both shaders with the same angle window, reach and curve.
  void Common(double minDeg, double maxDeg, double reach) {
    Set(SOFTEDGE_ANGLE_MIN, minDeg * degree);
    Set(SOFTEDGE_ANGLE_MAX, maxDeg * degree);
    Set(SOFTEDGE_RADIUS, reach);
    SetCurve(SOFTEDGE_PROFILE);
    SetDraw(DRAWEDGE_ANGLE_MIN, minDeg * degree);
    SetDraw(DRAWEDGE_ANGLE_MAX, maxDeg * degree);
    SetDraw(DRAWEDGE_WIDTH, reach);
    auto curve = std::make_unique<HostSpline>();
    curve->SetLinePreset(2);
    drawNode.container.SetData(DRAWEDGE_FALLOFF, std::move(curve));
    drawNode.container.SetData(DRAWEDGE_GRADIENT, std::make_unique<HostGradient>());
  }

  // Selects the edge numbers of quad 0's sides and turns the selection on in both shaders.
  void Select(const std::vector<int32_t>& sides, int32_t mode) {
    std::vector<int32_t> numbers;
    numbers.reserve(sides.size());
    for (int32_t s : sides) numbers.push_back(edges::EdgeNumber(0, s));
    selection.Assign(numbers);
    selected = true;
    SetBool(SOFTEDGE_USE_SELECTION, true);
    SetInt(SOFTEDGE_SELECTION_MODE, mode);
    SetDrawBool(DRAWEDGE_USE_SELECTION, true);
    SetDrawInt(DRAWEDGE_SELECTION_MODE, mode);
  }

  void SetEdgeType(int32_t type) {
    SetInt(SOFTEDGE_EDGE_TYPE, type);
    SetDrawInt(DRAWEDGE_EDGE_TYPE, type);
  }

  std::unique_ptr<Mesh> mesh;
  Neighbor adjacency;
  HostNode drawNode;
  HostSelect selection;
  bool selected = false;
  Owned<SoftEdge> soft;
  Owned<DrawEdge> draw;
};

TEST_F(EvaluateEdge, DistanceEqualToTheReachActsWithTheCurvesEnd) {
  UseMesh(FoldedPair(60));
  Common(0, 90, 0.25);
  const Vector atReach(0.75, 0.5, 0);
  const Result s = Soft(sharedSide, atReach), d = Draw(sharedSide, atReach);
  EXPECT_TRUE(s.acts);
  EXPECT_TRUE(d.acts);
  EXPECT_EQ(s.value, 1.0);
  EXPECT_EQ(d.value, 1.0);
  EXPECT_EQ(s.bent, Vector(0, 0, 1)) << "at the reach the normal stays";
  EXPECT_FALSE(Soft(sharedSide, Vector(0.74, 0.5, 0)).acts);
}

TEST_F(EvaluateEdge, TheEdgeLineExtendsBeyondTheEdgesEnds) {
  UseMesh(FoldedPair(60));
  Common(0, 90, 0.25);
  EXPECT_TRUE(Soft(sharedSide, Vector(0.9, 5.0, 0)).acts);
  EXPECT_NEAR(Draw(sharedSide, Vector(0.9, -3.0, 0)).value, 0.4, 1e-12);
}

TEST_F(EvaluateEdge, OnTheEdgeLineTheNormalIsTheUnnormalisedMidpoint) {
  UseMesh(FoldedPair(60));
  Common(0, 90, 0.25);
  const Result s = Soft(sharedSide, Vector(1, 0.5, 0));
  ASSERT_TRUE(s.acts);
  EXPECT_EQ(s.value, 0.0);
  EXPECT_NEAR(s.bent.x, -std::sin(60 * degree) / 2, 1e-15);
  EXPECT_NEAR(s.bent.z, 0.75, 1e-15);
}

TEST_F(EvaluateEdge, CoplanarFacesActOnlyWithAMinimumAngleOfZero) {
  UseMesh(FoldedPair(0));
  Common(0, 90, 0.25);
  EXPECT_TRUE(Soft(sharedSide, Vector(0.9, 0.5, 0)).acts);
  EXPECT_TRUE(Draw(sharedSide, Vector(0.9, 0.5, 0)).acts);
  Common(1, 90, 0.25);
  EXPECT_FALSE(Soft(sharedSide, Vector(0.9, 0.5, 0)).acts);
  EXPECT_FALSE(Draw(sharedSide, Vector(0.9, 0.5, 0)).acts);
  Select({sharedSide}, edges::SELECTION_ADD);
  EXPECT_TRUE(Soft(sharedSide, Vector(0.9, 0.5, 0)).acts) << "a selected edge skips the angle test";
  EXPECT_TRUE(Draw(sharedSide, Vector(0.9, 0.5, 0)).acts);
}

TEST_F(EvaluateEdge, AngleEqualToTheWindowBoundsActs) {
  UseMesh(FoldedPair(60));
  const double alpha = edges::Angle(edges::FaceNormal(mesh->object.points, mesh->polygons[0]),
                                    edges::FaceNormal(mesh->object.points, mesh->polygons[1]));
  Common(0, 90, 0.25);
  Set(SOFTEDGE_ANGLE_MIN, alpha);
  Set(SOFTEDGE_ANGLE_MAX, alpha);
  EXPECT_TRUE(Soft(sharedSide, Vector(0.9, 0.5, 0)).acts);
  Set(SOFTEDGE_ANGLE_MAX, std::nextafter(alpha, 0.0));
  EXPECT_FALSE(Soft(sharedSide, Vector(0.9, 0.5, 0)).acts);
}

TEST_F(EvaluateEdge, FacesFoldedBackExceedADoublePrecisionPi) {
  UseMesh(FoldedPair(180));
  Common(0, 180, 0.25);  // the maximum is pi in double precision
  EXPECT_FALSE(Soft(sharedSide, Vector(0.9, 0.5, 0)).acts);
  Set(SOFTEDGE_ANGLE_MAX, edges::piSingle);
  EXPECT_TRUE(Soft(sharedSide, Vector(0.9, 0.5, 0)).acts);
}

TEST_F(EvaluateEdge, EdgeTypesSeparateValleysFromRidges) {
  const Vector p(0.9, 0.5, 0);
  for (double fold : {60.0, -60.0}) {
    const bool concave = fold > 0;
    UseMesh(FoldedPair(fold));
    Common(0, 90, 0.25);
    SetEdgeType(edges::EDGE_TYPE_ALL);
    EXPECT_TRUE(Soft(sharedSide, p).acts);
    EXPECT_TRUE(Draw(sharedSide, p).acts);
    SetEdgeType(edges::EDGE_TYPE_CONCAVE);
    EXPECT_EQ(Soft(sharedSide, p).acts, concave) << fold;
    EXPECT_EQ(Draw(sharedSide, p).acts, concave) << fold;
    SetEdgeType(edges::EDGE_TYPE_CONVEX);
    EXPECT_EQ(Soft(sharedSide, p).acts, !concave) << fold;
    EXPECT_EQ(Draw(sharedSide, p).acts, !concave) << fold;
    SetEdgeType(7);
    EXPECT_TRUE(Soft(sharedSide, p).acts) << "unknown types test nothing";
  }
}

TEST_F(EvaluateEdge, SelectionModesOnASharedEdge) {
  UseMesh(FoldedPair(-60));  // a ridge
  Common(70, 90, 0.25);      // outside the angle window
  const Vector p(0.9, 0.5, 0);
  struct Case {
    int32_t mode;
    bool edgeSelected;
    int32_t edgeType;
    bool acts;
  };
  const Case cases[] = {
      {edges::SELECTION_ADD, true, edges::EDGE_TYPE_ALL, true},        // forced past the angle
      {edges::SELECTION_ADD, true, edges::EDGE_TYPE_CONCAVE, false},   // but still a ridge
      {edges::SELECTION_ADD, false, edges::EDGE_TYPE_ALL, false},      // the usual tests
      {edges::SELECTION_EXCLUDE, true, edges::EDGE_TYPE_ALL, false},   // never
      {edges::SELECTION_ONLY, true, edges::EDGE_TYPE_CONCAVE, true},   // no other test
      {edges::SELECTION_ONLY, false, edges::EDGE_TYPE_ALL, false},     // only selected
      {edges::SELECTION_RESTRICT, true, edges::EDGE_TYPE_ALL, false},  // still the angle
      {edges::SELECTION_RESTRICT, false, edges::EDGE_TYPE_ALL, false},
      {9, true, edges::EDGE_TYPE_ALL, false},  // unknown modes act like no selection
  };
  for (const Case& c : cases) {
    Select(c.edgeSelected ? std::vector<int32_t>{sharedSide} : std::vector<int32_t>{3}, c.mode);
    SetEdgeType(c.edgeType);
    EXPECT_EQ(Soft(sharedSide, p).acts, c.acts) << "mode " << c.mode << " selected " << c.edgeSelected;
    EXPECT_EQ(Draw(sharedSide, p).acts, c.acts) << "mode " << c.mode << " selected " << c.edgeSelected;
  }
  Common(0, 90, 0.25);
  Select({sharedSide}, edges::SELECTION_RESTRICT);
  SetEdgeType(edges::EDGE_TYPE_ALL);
  EXPECT_TRUE(Soft(sharedSide, p).acts) << "restricted, and passing every test";
}

TEST_F(EvaluateEdge, BorderEdgesDifferBetweenTheShaders) {
  UseMesh(FoldedPair(60));
  Common(10, 20, 0.25);  // a border edge's angle would fail this window
  const Vector p(0.5, 0.1, 0);
  SetDrawBool(DRAWEDGE_BORDER_EDGES, true);
  EXPECT_FALSE(Soft(borderSide, p).acts) << "Soft Edge needs two polygons";
  EXPECT_TRUE(Draw(borderSide, p).acts) << "drawn without the angle test";
  SetEdgeType(edges::EDGE_TYPE_CONVEX);
  EXPECT_TRUE(Draw(borderSide, p).acts) << "and without the edge-type test";
  SetDrawBool(DRAWEDGE_BORDER_EDGES, false);
  EXPECT_FALSE(Draw(borderSide, p).acts);

  // Selected-only: Draw Edge decides before it looks for neighbours.
  SetDrawBool(DRAWEDGE_BORDER_EDGES, false);
  Select({borderSide}, edges::SELECTION_ONLY);
  EXPECT_FALSE(Soft(borderSide, p).acts);
  EXPECT_TRUE(Draw(borderSide, p).acts);

  // Excluded stays excluded, even as a border edge.
  SetDrawBool(DRAWEDGE_BORDER_EDGES, true);
  Select({borderSide}, edges::SELECTION_EXCLUDE);
  EXPECT_FALSE(Draw(borderSide, p).acts);
  Select({3}, edges::SELECTION_RESTRICT);
  EXPECT_FALSE(Draw(borderSide, p).acts);
}

TEST_F(EvaluateEdge, TriangleClosingSideIsLookedUpAsSideTwo) {
  UseMesh(TrianglePair());
  Common(0, 90, 0.25);
  // Triangle 0 = (0, 1, 2): side 2 runs from point 2 back to point 0, the line x = 0.
  Select({2}, edges::SELECTION_ONLY);
  SetDrawBool(DRAWEDGE_BORDER_EDGES, false);
  EXPECT_TRUE(Draw(2, Vector(0.1, 0.3, 0)).acts);
  Select({3}, edges::SELECTION_ONLY);
  EXPECT_FALSE(Draw(2, Vector(0.1, 0.3, 0)).acts) << "edge number 3 is no side of a triangle";
}

TEST_F(EvaluateEdge, DegenerateNeighboursAndZeroLengthEdges) {
  auto m = std::make_unique<Mesh>();
  // Quad 1 shares the edge 1-2 but has all its other corners on that edge's line.
  m->points = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {1, 0.5, 0}};
  m->polygons = {{0, 1, 2, 3}, {1, 4, 2, 2}};
  m->Finish();
  UseMesh(std::move(m));
  Common(89, 91, 0.25);  // the angle to a zero normal is pi/2
  EXPECT_TRUE(Soft(sharedSide, Vector(0.9, 0.5, 0)).acts);
  Common(0, 80, 0.25);
  EXPECT_FALSE(Soft(sharedSide, Vector(0.9, 0.5, 0)).acts);

  // A zero-length edge: every point is at distance 0 from it.
  auto z = std::make_unique<Mesh>();
  z->points = {{0, 0, 0}, {1, 0, 0}, {1, 0, 0}, {0, 1, 0}};
  z->polygons = {{0, 1, 2, 3}};
  z->Finish();
  UseMesh(std::move(z));
  Common(0, 90, 0.25);
  SetDrawBool(DRAWEDGE_BORDER_EDGES, true);
  const Result r = Draw(sharedSide, Vector(5, 5, 5));
  EXPECT_TRUE(r.acts);
  EXPECT_EQ(r.value, 0.0);
}

TEST_F(EvaluateEdge, CombinationIsTheProduct) {
  EXPECT_EQ(draw->CombineEdgeValues(-0.5, -0.5), 0.25);
  EXPECT_EQ(draw->CombineEdgeValues(0.5, 0.0), 0.0);
}

}  // namespace
}  // namespace tess::test
