// What a new node holds, what a render reads when a value is missing, and how
// the attribute panel reacts to the parameters.
#include "hostapp/services/descriptions.h"
#include "source/drawedge/drawedge.h"
#include "source/softedge/softedge.h"
#include "tests/edges/edge_fixture.h"

namespace tess::test {
namespace {

class ShaderParams : public EdgeTest {
 protected:
  template <typename Shader>
  void InitNode(Owned<Shader>& shader) {
    GeListNode n(&node);
    ASSERT_TRUE(shader->Init(&n));
  }
  double Float(int32_t id) const {
    const auto* v = node.container.Find(id);
    return v != nullptr ? v->floatValue : -1.0;
  }
  int32_t Int(int32_t id) const {
    const auto* v = node.container.Find(id);
    return v != nullptr ? v->intValue : -1;
  }
  const tess::host::CustomData* Data(int32_t id) const {
    const auto* v = node.container.Find(id);
    return v != nullptr ? v->data.get() : nullptr;
  }
};

TEST_F(ShaderParams, NewSoftEdgeNodeHoldsItsDefaults) {
  Owned<SoftEdge> shader;
  InitNode(shader);
  EXPECT_EQ(Float(SOFTEDGE_ANGLE_MIN), 1.0471975511965976);
  EXPECT_EQ(Float(SOFTEDGE_ANGLE_MAX), 1.5707963267948966);
  EXPECT_EQ(Float(SOFTEDGE_RADIUS), 2.0);
  const auto* curve = dynamic_cast<const HostSpline*>(Data(SOFTEDGE_PROFILE));
  ASSERT_NE(curve, nullptr);
  EXPECT_EQ(curve->Evaluate(0.25), 0.25) << "the two-point preset is the straight line";
  EXPECT_EQ(Int(SOFTEDGE_USE_SELECTION), 0);
  EXPECT_EQ(Int(SOFTEDGE_SELECTION_MODE), 2);
  EXPECT_EQ(Int(SOFTEDGE_EDGE_TYPE), 0);
  EXPECT_EQ(Int(SOFTEDGE_METHOD), 0);
  EXPECT_EQ(Int(SOFTEDGE_SAMPLES), 32);
  EXPECT_EQ(Int(SOFTEDGE_SAME_OBJECT), 0);
}

TEST_F(ShaderParams, NewDrawEdgeNodeHoldsItsDefaults) {
  Owned<DrawEdge> shader;
  InitNode(shader);
  EXPECT_EQ(Float(DRAWEDGE_ANGLE_MIN), 0.0);
  EXPECT_EQ(Float(DRAWEDGE_ANGLE_MAX), 1.5707963267948966);
  EXPECT_EQ(Float(DRAWEDGE_WIDTH), 2.0);
  EXPECT_EQ(Float(DRAWEDGE_BUMP_STEP), 0.1);
  EXPECT_NE(dynamic_cast<const HostSpline*>(Data(DRAWEDGE_FALLOFF)), nullptr);
  EXPECT_EQ(Int(DRAWEDGE_BORDER_EDGES), 1);
  EXPECT_EQ(Int(DRAWEDGE_USE_SELECTION), 0);
  EXPECT_EQ(Int(DRAWEDGE_SELECTION_MODE), 2);
  EXPECT_EQ(Int(DRAWEDGE_EDGE_TYPE), 0);
  EXPECT_EQ(Int(DRAWEDGE_USE_DISTORTION), 0);
  EXPECT_EQ(node.container.Find(DRAWEDGE_DISTORTION_SHADER), nullptr) << "the link is not written";
  EXPECT_EQ(Float(DRAWEDGE_DISTORTION_STRENGTH), 1.0);
  EXPECT_EQ(Float(DRAWEDGE_DISTORTION_OFFSET), 1.0);
  const auto* gradient = dynamic_cast<const HostGradient*>(Data(DRAWEDGE_GRADIENT));
  ASSERT_NE(gradient, nullptr);
  ASSERT_EQ(gradient->Knots().size(), 2u);
  EXPECT_EQ(gradient->Evaluate(0.25).x, 0.25) << "linear between black and white";
  EXPECT_EQ(gradient->Knots()[1].brightness, 1.0);
  EXPECT_EQ(gradient->Knots()[1].bias, 0.5);
}

TEST_F(ShaderParams, InitWithoutCurveOrGradientStillSucceeds) {
  Owned<DrawEdge> shader;
  HostLinkedApi noCurves = *table.linked;
  noCurves.splineCreate = [] { return static_cast<HostSpline*>(nullptr); };
  noCurves.gradientCreate = [] { return static_cast<HostGradient*>(nullptr); };
  table.linked = &noCurves;
  InitNode(shader);
  EXPECT_EQ(Data(DRAWEDGE_FALLOFF), nullptr);
  EXPECT_EQ(Data(DRAWEDGE_GRADIENT), nullptr);
  EXPECT_EQ(Float(DRAWEDGE_WIDTH), 2.0);
  BaseShader s(&node);
  EXPECT_EQ(shader->InitRender(&s, HostInitRender{}), -102) << "no gradient fails the render preparation";
}

class PanelRules : public EdgeTest {
 protected:
  PanelRules() {
    resource.folder = TESSALINE_SOURCE_DIR;
    EXPECT_TRUE(host::Services().descriptions.Register(1020978, "xsoftedge", &resource));
    node.pluginId = 1020978;
  }
  // Asks for the panel and reports whether a group is hidden (-1 when untouched).
  int Hidden(HostDescription& description, int32_t group) {
    int32_t flags = 0;
    GeListNode n(&node);
    Description d(&description);
    Int32 f = flags;
    EXPECT_TRUE(shader->GetDDescription(&n, &d, f));
    EXPECT_EQ(f & DESCFLAGS_DESC_LOADED, DESCFLAGS_DESC_LOADED);
    const HostContainer& c = description.parameters.at(group);
    return c.Find(HOST_DESC_HIDE)->intValue;
  }
  HostResource resource;
  Owned<SoftEdge> shader;
};

TEST_F(PanelRules, TheMethodShowsItsOwnGroupOnly) {
  for (int32_t method : {0, 1, 2}) {
    node.container.SetInt(SOFTEDGE_METHOD, method);
    HostDescription description;
    EXPECT_EQ(Hidden(description, SOFTEDGE_GROUP_EDGE), method != 0) << method;
    EXPECT_EQ(Hidden(description, SOFTEDGE_GROUP_SAMPLING), method != 1) << method;
  }
}

TEST_F(PanelRules, ASingleParameterRequestTouchesOnlyItsGroup) {
  node.container.SetInt(SOFTEDGE_METHOD, 1);
  HostDescription outside;
  outside.single = HostDescId{1, {{SOFTEDGE_SAMPLES, 0, 0}}};
  EXPECT_EQ(Hidden(outside, SOFTEDGE_GROUP_EDGE), 0) << "untouched";
  EXPECT_EQ(Hidden(outside, SOFTEDGE_GROUP_SAMPLING), 0);

  HostDescription group;
  group.single = HostDescId{2, {{SOFTEDGE_GROUP_EDGE, 1, 0}, {SOFTEDGE_PROFILE, 0, 0}}};
  EXPECT_EQ(Hidden(group, SOFTEDGE_GROUP_EDGE), 1) << "the request lies inside the edge group";
  EXPECT_EQ(Hidden(group, SOFTEDGE_GROUP_SAMPLING), 0);
}

TEST_F(PanelRules, WithoutADescriptionNothingChanges) {
  node.pluginId = 4242;
  HostDescription description;
  GeListNode n(&node);
  Description d(&description);
  Int32 flags = 0;
  EXPECT_FALSE(shader->GetDDescription(&n, &d, flags));
  EXPECT_EQ(flags, 0);
}

TEST_F(PanelRules, SelectionModeIsEnabledExactlyWhileTheSelectionIsUsed) {
  Owned<DrawEdge> draw;
  GeListNode n(&node);
  for (bool on : {false, true}) {
    node.container.SetBool(SOFTEDGE_USE_SELECTION, on);
    node.container.SetBool(DRAWEDGE_USE_SELECTION, on);
    EXPECT_EQ(shader->GetDEnabling(&n, DescID(DescLevel(SOFTEDGE_SELECTION_MODE)), nullptr, 0, nullptr), on);
    EXPECT_EQ(draw->GetDEnabling(&n, DescID(DescLevel(DRAWEDGE_SELECTION_MODE)), nullptr, 0, nullptr), on);
    for (int32_t other : {1003, 1005, 1007, 1011, 1016})
      EXPECT_TRUE(draw->GetDEnabling(&n, DescID(DescLevel(other)), nullptr, 0, nullptr)) << other;
  }
  node.container.values.clear();
  EXPECT_FALSE(shader->GetDEnabling(&n, DescID(DescLevel(SOFTEDGE_SELECTION_MODE)), nullptr, 0, nullptr))
      << "absent reads as off";
  EXPECT_EQ(shader->GetRenderInfo(nullptr), 16);
  EXPECT_EQ(draw->GetRenderInfo(nullptr), 16);
}

}  // namespace
}  // namespace tess::test
