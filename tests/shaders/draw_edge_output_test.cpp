// Draw Edge's output: the background, the product of the acting edges, the
// bump shifts, the distortion by a linked shader and its render preparation.
#include <cmath>

#include "hostapp/services/nodes.h"
#include "source/drawedge/drawedge.h"
#include "tests/edges/edge_fixture.h"

namespace tess::test {
namespace {

// A shader whose preparation fails with a code of its own.
class FailingShader : public host::ConstantShader {
 public:
  FailingShader() : ConstantShader({0, 0, 0}) {}
  int32_t InitRender(const HostInitRender&) override { return -7; }
};

class DrawEdgeOutput : public EdgeTest {
 protected:
  DrawEdgeOutput() {
    // One large quad: near its corner (0, 0) only sides 0 (y = 0) and 3 (x = 0) are in reach.
    mesh = std::make_unique<Mesh>();
    mesh->points = {{0, 0, 0}, {10, 0, 0}, {10, 10, 0}, {0, 10, 0}};
    mesh->polygons = {{0, 1, 2, 3}};
    mesh->Finish();
    Aim(*mesh, 0, {0.08, 0.08, 0});
    cd.flags = 0;  // the colour channel
    GeListNode n(&node);
    shader->Init(&n);
    node.container.SetFloat(DRAWEDGE_WIDTH, 0.2);
  }
  double Grey() {
    BaseShader s(&node);
    EXPECT_EQ(shader->InitRender(&s, HostInitRender{}), 0);
    const Vector colour = shader->Output(&s, &cd);
    shader->FreeRender(&s);
    EXPECT_EQ(colour.x, colour.y);
    return colour.x;
  }
  std::unique_ptr<Mesh> mesh;
  Owned<DrawEdge> shader;
};

TEST_F(DrawEdgeOutput, TwoNearbySidesMultiply) {
  EXPECT_NEAR(Grey(), 0.4 * 0.4, 1e-12);
}

TEST_F(DrawEdgeOutput, AwayFromEveryLineIsTheBackground) {
  Aim(*mesh, 0, {5, 5, 0});
  EXPECT_EQ(Grey(), 1.0);
}

TEST_F(DrawEdgeOutput, FailedHitTestsGiveTheBackgroundInEveryChannel) {
  for (int32_t channel : {0, HOST_CHANNEL_BUMP, HOST_CHANNEL_NORMAL}) {
    cd.flags = channel << 6;
    vd.hitId.id = 0;
    EXPECT_EQ(Grey(), 1.0);
    vd.hitId = {1, 5};
    EXPECT_EQ(Grey(), 1.0) << "polygon past the end";
    vd.hitId = {1, 0};
  }
  cd.vd = nullptr;
  EXPECT_EQ(Grey(), 1.0);
}

TEST_F(DrawEdgeOutput, ValuesOutsideTheRangeAreClampedOnlyAfterTheProduct) {
  SetCurve(DRAWEDGE_FALLOFF, {{0, -0.5}, {1, -0.5}});
  EXPECT_EQ(Grey(), 0.25);
  Aim(*mesh, 0, {5, 0.08, 0});  // one side only: -0.5 clamps to 0
  EXPECT_EQ(Grey(), 0.0);
  SetCurve(DRAWEDGE_FALLOFF, {{0, 3}, {1, 3}});
  EXPECT_EQ(Grey(), 1.0);
}

TEST_F(DrawEdgeOutput, BumpSamplesShiftThePointAlongUAndV) {
  vd.bumpU = {1, 0, 0};
  vd.bumpV = {0, 0.5, 0};
  node.container.SetFloat(DRAWEDGE_BUMP_STEP, 1.0);  // a step of 0.1
  const double expected[] = {0.1 * 0.4, 0.9 * 0.4, 0.4 * 0.15, 0.4 * 0.65};
  for (int32_t sample = 0; sample < 4; ++sample) {
    cd.flags = (HOST_CHANNEL_BUMP << 6) | (sample << 4);
    EXPECT_NEAR(Grey(), expected[sample], 1e-12) << sample;
  }
  cd.flags = (HOST_CHANNEL_NORMAL << 6) | (3 << 4);
  EXPECT_NEAR(Grey(), 0.16, 1e-12) << "other channels are not shifted";
}

TEST_F(DrawEdgeOutput, DistortionMovesThePointByTheLinkedShadersColour) {
  host::ConstantShader white({1, 1, 1}), black({0, 0, 0});
  node.container.SetBool(DRAWEDGE_USE_DISTORTION, true);
  node.container.SetFloat(DRAWEDGE_DISTORTION_STRENGTH, 0.05);
  node.container.SetFloat(DRAWEDGE_DISTORTION_OFFSET, 0.02);
  // The point moves by the same amount m along x, y and z; both sides are lines
  // along an axis, so each is sqrt((0.08 + m)^2 + m^2) away.
  const auto expected = [](double m) {
    const double value = std::hypot(0.08 + m, m) / 0.2;
    return value * value;
  };
  node.container.SetLink(DRAWEDGE_DISTORTION_SHADER, &white);
  EXPECT_NEAR(Grey(), expected(0.02), 1e-12) << "white moves by the offset only";
  node.container.SetLink(DRAWEDGE_DISTORTION_SHADER, &black);
  EXPECT_NEAR(Grey(), expected(0.07), 1e-12) << "black moves by strength and offset";
}

TEST_F(DrawEdgeOutput, DistortionWithoutALinkIsNoDistortion) {
  const double plain = Grey();
  node.container.SetBool(DRAWEDGE_USE_DISTORTION, true);
  EXPECT_EQ(Grey(), plain);
  HostNode notAShader;
  notAShader.type = 5100;
  node.container.SetLink(DRAWEDGE_DISTORTION_SHADER, &notAShader);
  EXPECT_EQ(Grey(), plain);
}

TEST_F(DrawEdgeOutput, MissingOffsetRendersAsZeroThoughANewNodeHoldsOne) {
  host::ConstantShader white({1, 1, 1});
  node.container.SetBool(DRAWEDGE_USE_DISTORTION, true);
  node.container.SetLink(DRAWEDGE_DISTORTION_SHADER, &white);
  node.container.values.erase(DRAWEDGE_DISTORTION_OFFSET);
  EXPECT_NEAR(Grey(), 0.16, 1e-12) << "white with offset 0 does not move the point";
}

TEST_F(DrawEdgeOutput, RenderPreparationResults) {
  BaseShader s(&node);
  node.container.SetBool(DRAWEDGE_USE_DISTORTION, false);
  FailingShader failing;
  node.container.SetLink(DRAWEDGE_DISTORTION_SHADER, &failing);
  EXPECT_EQ(shader->InitRender(&s, HostInitRender{}), 0) << "the link is not read while distortion is off";
  shader->FreeRender(&s);
  node.container.SetBool(DRAWEDGE_USE_DISTORTION, true);
  EXPECT_EQ(shader->InitRender(&s, HostInitRender{}), -7) << "the linked shader's code passes through";
  shader->FreeRender(&s);
  node.container.values.erase(DRAWEDGE_GRADIENT);
  EXPECT_EQ(shader->InitRender(&s, HostInitRender{}), -102);
  shader->FreeRender(&s);
}

TEST_F(DrawEdgeOutput, WithoutAFalloffCurveTheProfileIsTheStraightLine) {
  node.container.values.erase(DRAWEDGE_FALLOFF);
  EXPECT_NEAR(Grey(), 0.16, 1e-12);
}

}  // namespace
}  // namespace tess::test
