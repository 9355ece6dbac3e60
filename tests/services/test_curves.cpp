// Curves and gradients, on their own and stored in parameter containers.
#include <cmath>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "hostapp/services/container.h"
#include "hostapp/services/gradient.h"
#include "hostapp/services/linked.h"
#include "hostapp/services/spline.h"

namespace {

const HostLinkedApi& Linked() {
  return *tess::host::LinkedTable();
}
const HostContainerApi& Containers() {
  return *tess::host::ContainerTable();
}
constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();

double CurveY(const HostSpline* s, double x) {
  HostVector p{9, 9, 9};
  Linked().splineEvaluate(s, x, &p);
  return p.y;
}

HostSpline Curve(std::vector<HostSpline::Knot> knots) {
  HostSpline s;
  EXPECT_TRUE(s.SetKnots(std::move(knots)));
  return s;
}

TEST(Spline, TwoPointPresetIsTheIdentityLine) {
  HostSpline* s = Linked().splineCreate();
  ASSERT_NE(s, nullptr);
  ASSERT_TRUE(Linked().splineTwoPointPreset(s, 2));
  for (int i = 0; i <= 1000; ++i) {
    const double x = i / 1000.0;
    HostVector p{9, 9, 9};
    Linked().splineEvaluate(s, x, &p);
    EXPECT_EQ(p.y, x);
    EXPECT_EQ(p.x, x);
    EXPECT_EQ(p.z, 0.0);
  }
  Linked().splineRelease(s);
}

TEST(Spline, PresetWithMoreKnotsStaysOnTheLine) {
  HostSpline s;
  ASSERT_TRUE(s.SetLinePreset(7));
  ASSERT_EQ(s.Knots().size(), 7u);
  EXPECT_EQ(s.Knots().front().x, 0.0);
  EXPECT_EQ(s.Knots().back().y, 1.0);
  for (int i = 0; i <= 997; ++i) EXPECT_NEAR(s.Evaluate(i / 997.0), i / 997.0, 1e-15);
  EXPECT_FALSE(s.SetLinePreset(1));
  EXPECT_FALSE(s.SetLinePreset(-4));
  EXPECT_FALSE(s.SetLinePreset(HostSpline::maxPresetKnots + 1));
  EXPECT_EQ(s.Knots().size(), 7u);
  EXPECT_FALSE(Linked().splineTwoPointPreset(nullptr, 2));
}

TEST(Spline, HoldsEndValuesOutsideTheKnots) {
  const HostSpline s = Curve({{0.2, 0.3}, {0.8, 0.9}});
  EXPECT_EQ(CurveY(&s, -5.0), 0.3);
  EXPECT_EQ(CurveY(&s, 0.0), 0.3);
  EXPECT_EQ(CurveY(&s, 1.0), 0.9);
  EXPECT_EQ(CurveY(&s, 1e300), 0.9);
  EXPECT_EQ(CurveY(&s, -inf), 0.3);
  EXPECT_EQ(CurveY(&s, inf), 0.9);
}

TEST(Spline, PassesThroughKnotsWithoutOvershoot) {
  // Steep middle piece between flat ones: an unconstrained cubic spline
  // overshoots both plateaus here.
  const HostSpline s = Curve({{1.0, 1.0}, {0.0, 0.0}, {0.4, 0.05}, {0.6, 0.95}});  // unsorted on purpose
  for (const auto& k : s.Knots()) EXPECT_EQ(s.Evaluate(k.x), k.y);
  double previous = -1.0;
  for (int i = 0; i <= 2000; ++i) {
    const double y = s.Evaluate(i / 2000.0);
    EXPECT_GE(y, previous) << "at " << i / 2000.0;
    EXPECT_GE(y, 0.0);
    EXPECT_LE(y, 1.0);
    previous = y;
  }
  // A peak stays a peak: no value above the highest knot.
  const HostSpline peak = Curve({{0.0, 0.0}, {0.5, 1.0}, {1.0, 0.0}});
  for (int i = 0; i <= 200; ++i) EXPECT_LE(peak.Evaluate(i / 200.0), 1.0);
}

TEST(Spline, IsSmoothAcrossInteriorKnots) {
  const HostSpline s = Curve({{0.0, 0.0}, {0.5, 0.8}, {1.0, 1.0}});
  const double h = 1e-6;
  const double left = (s.Evaluate(0.5) - s.Evaluate(0.5 - h)) / h;
  const double right = (s.Evaluate(0.5 + h) - s.Evaluate(0.5)) / h;
  EXPECT_NEAR(left, right, 1e-4);
  // A curve, not the polyline through the knots.
  EXPECT_GT(std::abs(s.Evaluate(0.25) - 0.4), 1e-3);
}

TEST(Spline, StepAtRepeatedX) {
  const HostSpline s = Curve({{0.0, 0.0}, {0.5, 0.0}, {0.5, 1.0}, {1.0, 1.0}});
  EXPECT_EQ(s.Evaluate(0.25), 0.0);
  EXPECT_EQ(s.Evaluate(0.5), 1.0);
  EXPECT_EQ(s.Evaluate(0.75), 1.0);
}

TEST(Spline, NanAndMissingDataAreHarmless) {
  const HostSpline s = Curve({{0.1, 0.25}, {1.0, 1.0}});
  HostVector p{9, 9, 9};
  Linked().splineEvaluate(&s, nan, &p);
  EXPECT_EQ(p.y, 0.25);
  EXPECT_EQ(p.x, 0.1);
  HostSpline empty;
  EXPECT_EQ(empty.Evaluate(0.5), 0.0);
  EXPECT_EQ(empty.Evaluate(nan), 0.0);
  Linked().splineEvaluate(nullptr, 0.5, &p);
  EXPECT_EQ(p.x, 0.0);
  EXPECT_EQ(p.y, 0.0);
  Linked().splineEvaluate(&s, 0.5, nullptr);
  // Knots that are not numbers are refused and leave the curve as it was.
  HostSpline keep = Curve({{0.0, 0.5}});
  EXPECT_FALSE(keep.SetKnots({{0.0, 0.0}, {nan, 1.0}}));
  EXPECT_FALSE(keep.SetKnots({{inf, 0.0}}));
  EXPECT_EQ(keep.Evaluate(0.7), 0.5);
}

HostGradientKnot Knot(double position, HostVector color, double brightness = 1.0, double bias = 0.5) {
  HostGradientKnot k = HostGradient::DefaultKnot();
  k.position = position;
  k.color = color;
  k.brightness = brightness;
  k.bias = bias;
  return k;
}

HostVector Colour(const HostGradient* g, double position) {
  HostVector c{9, 9, 9};
  Linked().gradientEvaluate(g, position, &c);
  return c;
}

void ExpectColour(const HostVector& c, double r, double g, double b) {
  EXPECT_DOUBLE_EQ(c.x, r);
  EXPECT_DOUBLE_EQ(c.y, g);
  EXPECT_DOUBLE_EQ(c.z, b);
}

// Black at 0 and white at 1, inserted through the table.
HostGradient* BlackToWhite() {
  HostGradient* g = Linked().gradientCreate();
  const HostGradientKnot black = Knot(0.0, {0, 0, 0});
  const HostGradientKnot white = Knot(1.0, {1, 1, 1});
  EXPECT_TRUE(Linked().gradientInsertKnot(g, &white));
  EXPECT_TRUE(Linked().gradientInsertKnot(g, &black));
  return g;
}

TEST(Gradient, LinearBetweenKnotsAtNeutralBias) {
  HostGradient* g = BlackToWhite();
  for (int prepared = 0; prepared < 2; ++prepared) {
    if (prepared) {
      ASSERT_TRUE(Linked().gradientInitRender(g, nullptr));
    }
    for (int i = 0; i <= 64; ++i) ExpectColour(Colour(g, i / 64.0), i / 64.0, i / 64.0, i / 64.0);
  }
  Linked().gradientFreeRender(g);
  Linked().gradientRelease(g);
}

TEST(Gradient, BrightnessScalesTheKnotColour) {
  HostGradient g;
  ASSERT_TRUE(g.InsertKnot(Knot(0.0, {0.5, 0.2, 1.0}, 2.0)));
  ASSERT_TRUE(g.InsertKnot(Knot(1.0, {1.0, 1.0, 1.0}, 0.5)));
  ExpectColour(g.Evaluate(0.0), 1.0, 0.4, 2.0);
  ExpectColour(g.Evaluate(1.0), 0.5, 0.5, 0.5);
  ExpectColour(g.Evaluate(0.5), 0.75, 0.45, 1.25);
}

TEST(Gradient, BiasMovesTheMidpoint) {
  for (double bias : {0.2, 0.75}) {
    HostGradient g;
    ASSERT_TRUE(g.InsertKnot(Knot(0.2, {0, 0, 0}, 1.0, bias)));
    ASSERT_TRUE(g.InsertKnot(Knot(0.6, {1, 1, 1})));
    // Halfway between the knots the blend reaches the bias.
    EXPECT_NEAR(g.Evaluate(0.4).x, bias, 1e-12);
    ExpectColour(g.Evaluate(0.2), 0, 0, 0);
    ExpectColour(g.Evaluate(0.6), 1, 1, 1);
    double previous = 0.0;
    for (int i = 0; i <= 100; ++i) {
      const double v = g.Evaluate(0.2 + 0.4 * i / 100.0).x;
      EXPECT_GE(v, previous);
      previous = v;
    }
  }
}

TEST(Gradient, ClampsPositionsAndHoldsEndColours) {
  HostGradient g;
  ASSERT_TRUE(g.InsertKnot(Knot(0.8, {0, 0, 1})));
  ASSERT_TRUE(g.InsertKnot(Knot(0.2, {1, 0, 0})));
  ExpectColour(g.Evaluate(0.0), 1, 0, 0);
  ExpectColour(g.Evaluate(0.1), 1, 0, 0);
  ExpectColour(g.Evaluate(-3.0), 1, 0, 0);
  ExpectColour(g.Evaluate(nan), 1, 0, 0);
  ExpectColour(g.Evaluate(0.9), 0, 0, 1);
  ExpectColour(g.Evaluate(7.0), 0, 0, 1);
  ExpectColour(g.Evaluate(0.5), 0.5, 0, 0.5);
  // Clamping is to [0, 1], not to the knots.
  HostGradient wide;
  ASSERT_TRUE(wide.InsertKnot(Knot(-1.0, {0, 0, 0})));
  ASSERT_TRUE(wide.InsertKnot(Knot(3.0, {4, 4, 4})));
  ExpectColour(wide.Evaluate(5.0), 2, 2, 2);
  ExpectColour(wide.Evaluate(-5.0), 1, 1, 1);
}

TEST(Gradient, RenderPreparationNeedsKnotsAndSnapshotsThem) {
  HostGradient* g = Linked().gradientCreate();
  EXPECT_FALSE(Linked().gradientInitRender(g, nullptr));
  ExpectColour(Colour(g, 0.5), 0, 0, 0);
  const HostGradientKnot grey = Knot(0.5, {0.5, 0.5, 0.5});
  ASSERT_TRUE(Linked().gradientInsertKnot(g, &grey));
  ASSERT_TRUE(Linked().gradientInitRender(g, nullptr));
  const HostGradientKnot white = Knot(1.0, {1, 1, 1});
  ASSERT_TRUE(Linked().gradientInsertKnot(g, &white));
  ExpectColour(Colour(g, 1.0), 0.5, 0.5, 0.5);
  Linked().gradientFreeRender(g);
  ExpectColour(Colour(g, 1.0), 1, 1, 1);
  Linked().gradientRelease(g);
}

TEST(Gradient, RefusesBadKnotsAndNullHandles) {
  HostGradient g;
  EXPECT_FALSE(g.InsertKnot(Knot(nan, {1, 1, 1})));
  EXPECT_FALSE(g.InsertKnot(Knot(0.5, {1, inf, 1})));
  EXPECT_TRUE(g.Knots().empty());
  EXPECT_FALSE(Linked().gradientInsertKnot(&g, nullptr));
  EXPECT_FALSE(Linked().gradientInitRender(nullptr, nullptr));
  ExpectColour(Colour(nullptr, 0.5), 0, 0, 0);
  Linked().gradientFreeRender(nullptr);
}

TEST(Gradient, ExtremeBiasStaysWithinTheKnotColours) {
  for (double bias : {0.0, 1.0, -2.0, 5.0}) {
    HostGradient g;
    ASSERT_TRUE(g.InsertKnot(Knot(0.0, {0, 0, 0}, 1.0, bias)));
    ASSERT_TRUE(g.InsertKnot(Knot(1.0, {1, 1, 1})));
    for (int i = 0; i <= 10; ++i) {
      const double v = g.Evaluate(i / 10.0).x;
      EXPECT_TRUE(v >= 0.0 && v <= 1.0) << "bias " << bias << " at " << i;
    }
  }
}

TEST(LinkedShader, AnswersNoShader) {
  EXPECT_EQ(Linked().shaderInitRender(nullptr, nullptr), HOST_INITRENDER_FAILED);
  HostVector c{1, 1, 1};
  Linked().shaderSample(nullptr, nullptr, &c);
  ExpectColour(c, 0, 0, 0);
  Linked().shaderSample(nullptr, nullptr, nullptr);
  Linked().shaderFreeRender(nullptr);
}

TEST(CustomDataInContainers, CurveIsStoredAsACopy) {
  HostContainer* c = Containers().create(0);
  HostSpline* s = Linked().splineCreate();
  ASSERT_TRUE(Linked().splineTwoPointPreset(s, 2));
  ASSERT_TRUE(Containers().setData(c, 1006, HOST_DATATYPE_SPLINE, s));
  auto* stored = static_cast<HostSpline*>(Containers().getData(c, 1006, HOST_DATATYPE_SPLINE));
  ASSERT_NE(stored, nullptr);
  EXPECT_NE(stored, s);
  ASSERT_TRUE(s->SetKnots({{0.0, 1.0}, {1.0, 1.0}}));
  Linked().splineRelease(s);
  EXPECT_EQ(CurveY(stored, 0.3), 0.3);
  EXPECT_EQ(Containers().getData(c, 1006, HOST_DATATYPE_GRADIENT), nullptr);
  EXPECT_EQ(Containers().getData(c, 1007, HOST_DATATYPE_SPLINE), nullptr);
  Containers().release(c);
}

TEST(CustomDataInContainers, GradientIsStoredAsACopyAndPreparesThere) {
  HostContainer* c = Containers().create(0);
  HostGradient* g = BlackToWhite();
  ASSERT_TRUE(Linked().gradientInitRender(g, nullptr));
  ASSERT_TRUE(Containers().setData(c, 1016, HOST_DATATYPE_GRADIENT, g));
  Linked().gradientRelease(g);
  auto* stored = static_cast<HostGradient*>(Containers().getData(c, 1016, HOST_DATATYPE_GRADIENT));
  ASSERT_NE(stored, nullptr);
  EXPECT_FALSE(stored->Prepared());
  EXPECT_EQ(stored->Knots().size(), 2u);
  ASSERT_TRUE(Linked().gradientInitRender(stored, nullptr));
  ExpectColour(Colour(stored, 0.25), 0.25, 0.25, 0.25);
  EXPECT_EQ(Containers().getData(c, 1016, HOST_DATATYPE_SPLINE), nullptr);
  Containers().release(c);
}

}  // namespace
