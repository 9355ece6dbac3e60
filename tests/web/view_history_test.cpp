// The camera, picking and the edit history over HTTP, with their bad input.
#include <cmath>
#include <set>

#include "tests/web/web_fixture.h"

namespace tess::test {
namespace {

using WebCamera = WebTest;
using WebPick = WebTest;

const std::string radius = "SOFTEDGE_RADIUS";
// Radians in half a degree: a field of view's half angle.
constexpr double halfDegree = 3.141592653589793 / 360;

Json RadiusEdit(double value) {
  return {{"object", softEdges}, {"channel", "normal"}, {"symbol", radius}, {"value", value}};
}

class WebHistory : public WebTest {
 protected:
  double RadiusOf() {
    const Json panel = GetJson("/api/panel?object=" + std::to_string(softEdges) + "&channel=normal");
    std::function<double(const Json&)> find = [&](const Json& elements) -> double {
      for (const Json& e : elements) {
        if (e.value("symbol", "") == radius) return e["value"].get<double>();
        if (e.contains("elements"))
          if (const double v = find(e["elements"]); v >= 0) return v;
      }
      return -1;
    };
    return find(panel["elements"]);
  }
};

TEST_F(WebCamera, MovesAreSavedAndFitTheSavedImage) {
  const Json before = GetJson("/api/scene")["camera"];
  ASSERT_TRUE(before["position"].is_array());
  EXPECT_GT(before["fov"].get<double>(), 0.0);
  WaitForFinalPass();
  const Json preparations = GetJson("/api/status")["preparations"];
  const Json moved = PostJson("/api/camera", {{"position", {1, 2, 9}}, {"fov", 50}});
  // A camera move renders again without preparing the shaders again.
  WaitForFinalPass();
  EXPECT_EQ(GetJson("/api/status")["preparations"], preparations);
  EXPECT_EQ(moved["camera"]["position"], Json({1, 2, 9}));
  EXPECT_EQ(moved["camera"]["target"], before["target"]);
  EXPECT_EQ(GetJson("/api/scene.json")["camera"]["position"], Json({1, 2, 9}));
  // A view as wide as the scene's image or wider keeps its field of view;
  // a narrower one widens it so that the scene's width still fits.
  const double aspect = before["aspect"].get<double>();
  PostJson("/api/view", {{"width", static_cast<int>(std::ceil(aspect * 100))}, {"height", 100}});
  EXPECT_DOUBLE_EQ(GetJson("/api/scene.json")["camera"]["fov"].get<double>(), 50.0);
  PostJson("/api/view", {{"width", static_cast<int>(aspect * 50)}, {"height", 100}});
  const double fitted = GetJson("/api/scene.json")["camera"]["fov"].get<double>();
  EXPECT_NEAR(std::tan(fitted * halfDegree), 2 * std::tan(50 * halfDegree), 0.05);
}

TEST_F(WebCamera, RefusesCamerasThatCannotBeAndRendersNothingForThem) {
  WaitForFinalPass();
  const Json generation = GetJson("/api/status")["generation"];
  const Json target = GetJson("/api/scene")["camera"]["target"];
  for (const Json& bad :
       {Json{{"position", {0, Json(nullptr), 0}}}, Json{{"position", {1, 2}}}, Json{{"position", target}},
        Json{{"fov", 0.5}}, Json{{"fov", 171}}, Json{{"fov", "wide"}}, Json::object(),
        Json{{"target", {1, 2, 3}}, {"position", {1, 2, 3}}}, Json{{"fov", 40}, {"drag", Json::array()}}})
    PostJson("/api/camera", bad, 400);
  // Numbers JSON cannot hold: NaN and an overflowing exponent.
  for (const std::string body : {R"({"fov": NaN})", R"({"position": [1e999, 0, 0]})", R"({"fov": Infinity})"}) {
    const auto r = client->Post(WithToken("/api/camera"), body, "application/json");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status, 400) << body;
  }
  EXPECT_EQ(GetJson("/api/status")["generation"], generation);
  EXPECT_EQ(GetJson("/api/scene")["history"]["undo"], 0);
}

TEST_F(WebPick, FindsTheObjectsInTheViewAndNothingElsewhere) {
  std::set<int> seen;
  bool background = false;
  for (int y = 0; y < viewHeight; y += 3)
    for (int x = 0; x < viewWidth; x += 3) {
      const Json object = GetJson("/api/pick?x=" + std::to_string(x) + "&y=" + std::to_string(y))["object"];
      if (object.is_null())
        background = true;
      else
        seen.insert(object.get<int>());
    }
  EXPECT_TRUE(background);
  EXPECT_GE(seen.size(), 3u);
  for (int object : seen) EXPECT_LT(object, static_cast<int>(GetJson("/api/scene")["objects"].size()));
  // Looking away from everything leaves nothing to pick.
  PostJson("/api/camera", {{"position", {0, 0, 100}}, {"target", {0, 0, 200}}});
  EXPECT_TRUE(GetJson("/api/pick?x=32&y=18")["object"].is_null());
}

TEST_F(WebPick, RefusesPointsOutsideTheView) {
  for (const std::string query :
       {"x=64&y=0", "x=0&y=36", "x=-1&y=0", "x=1", "x=a&y=1", "x=1.5&y=2", "x=1&y=1e30", "x=1&y=2&page=nobody"})
    EXPECT_GE(Get("/api/pick?" + query)->status, 400) << query;
  EXPECT_EQ(GetJson("/api/pick?x=63&y=35").size(), 1u);
}

TEST_F(WebHistory, EmptyHistoryIsAConflict) {
  Expect(client->Post(WithToken("/api/undo"), "", "application/json"), 409);
  Expect(client->Post(WithToken("/api/redo"), "", "application/json"), 409);
  EXPECT_EQ(GetJson("/api/scene")["history"], Json({{"undo", 0}, {"redo", 0}}));
  PostJson("/api/param", RadiusEdit(0.3));
  PostJson("/api/undo", Json::object());
  PostJson("/api/undo", Json::object(), 409);
  PostJson("/api/redo", Json::object());
  PostJson("/api/redo", Json::object(), 409);
}

TEST_F(WebHistory, WalksParametersCameraDragsAndColoursBackAndForth) {
  const double original = RadiusOf();
  const Json camera = GetJson("/api/scene")["camera"];
  PostJson("/api/param", RadiusEdit(0.31));
  // Three moves of one drag are one step.
  for (int i = 1; i <= 3; ++i) PostJson("/api/camera", {{"position", {i, 2, 8}}, {"drag", "d1"}});
  PostJson("/api/channel", {{"object", plainCube}, {"channel", "color"}, {"color", {1, 0, 0}}});
  EXPECT_EQ(GetJson("/api/scene")["history"]["undo"], 3);

  PostJson("/api/undo", Json::object());
  EXPECT_NE(GetJson("/api/scene")["objects"][plainCube]["channels"]["color"]["value"], Json({1, 0, 0}));
  PostJson("/api/undo", Json::object());
  EXPECT_EQ(GetJson("/api/scene")["camera"]["position"], camera["position"]);
  PostJson("/api/undo", Json::object());
  EXPECT_DOUBLE_EQ(RadiusOf(), original);

  PostJson("/api/redo", Json::object());
  EXPECT_DOUBLE_EQ(RadiusOf(), 0.31);
  PostJson("/api/redo", Json::object());
  EXPECT_EQ(GetJson("/api/scene")["camera"]["position"], Json({3, 2, 8}));
  // A new edit leaves nothing to redo.
  PostJson("/api/channel", {{"object", softEdges}, {"channel", "normal"}, {"strength", 0.5}});
  EXPECT_EQ(GetJson("/api/scene")["history"], Json({{"undo", 3}, {"redo", 0}}));
  PostJson("/api/redo", Json::object(), 409);
  PostJson("/api/undo", Json::object());
  EXPECT_EQ(GetJson("/api/scene")["objects"][softEdges]["channels"]["normal"]["strength"], 1);
}

TEST_F(WebHistory, RefusedEditsAddNoStepAndStartNoRender) {
  WaitForFinalPass();
  const Json generation = GetJson("/api/status")["generation"];
  PostJson("/api/param", RadiusEdit(-1), 400);
  PostJson("/api/channel", {{"object", softEdges}, {"channel", "normal"}, {"shader", "Nothing"}}, 400);
  PostJson("/api/channel", {{"object", softEdges}, {"channel", "color"}, {"strength", 2}}, 400);
  PostJson("/api/channel", {{"object", softEdges}, {"channel", "normal"}, {"strength", 1e9}}, 400);
  PostJson("/api/channel", {{"object", plainCube}, {"channel", "color"}, {"color", {1, 0}}}, 400);
  PostJson("/api/channel", {{"object", plainCube}, {"channel", "normal"}, {"color", {1, 0, 0}}}, 400);
  PostJson("/api/channel", {{"object", plainCube}, {"channel", "color"}}, 400);
  EXPECT_EQ(GetJson("/api/status")["generation"], generation);
  EXPECT_EQ(GetJson("/api/scene")["history"]["undo"], 0);
}

TEST_F(WebHistory, UndoneShaderSwitchGivesTheShaderBackWithItsValues) {
  PostJson("/api/param", RadiusEdit(0.27));
  PostJson("/api/channel", {{"object", softEdges}, {"channel", "normal"}, {"shader", "none"}});
  EXPECT_EQ(GetJson("/api/scene")["objects"][softEdges]["channels"]["normal"]["shader"], "none");
  PostJson("/api/undo", Json::object());
  EXPECT_DOUBLE_EQ(RadiusOf(), 0.27);
  const Json nodes = GetJson("/api/status")["nodes"];
  // Walking back and forth many times keeps the scene's nodes as they are.
  for (int i = 0; i < 20; ++i) {
    PostJson("/api/redo", Json::object());
    PostJson("/api/undo", Json::object());
  }
  EXPECT_EQ(GetJson("/api/status")["nodes"], nodes);
}

}  // namespace
}  // namespace tess::test
