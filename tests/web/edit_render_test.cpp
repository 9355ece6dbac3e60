// Edits through the server against renders of the same values written in a
// scene file, and the saved scene against the image the page showed.
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "hostapp/scene/demo_scene.h"
#include "hostapp/render/camera.h"
#include "hostapp/render/image.h"
#include "hostapp/render/pipeline.h"
#include "hostapp/scene/scene_reader.h"
#include "tests/web/web_fixture.h"

namespace tess::test {
namespace {

namespace fs = std::filesystem;

// Objects of the scene below.
constexpr int drawnTorus = 3, bumpedCube = 4;

// The demo scene without its ray-sampled cube: that shader draws random
// directions per render thread, and tiles go to whichever thread is free, so
// only the rest renders the same bytes every time.
std::string ExactScene() {
  Json scene = Json::parse(render::DemoSceneText());
  scene["objects"].erase(3);
  return scene.dump();
}

render::Image8 Decode(const std::string& png) {
  const fs::path file = fs::temp_directory_path() / ("tessaline-web-" + std::to_string(::getpid()) + ".png");
  std::ofstream(file, std::ios::binary) << png;
  render::Image8 image;
  EXPECT_EQ(render::ReadPng(file.string(), image), "");
  fs::remove(file);
  return image;
}

// The scene's own image at its own settings, rendered outside the server.
render::Image8 RenderText(const std::string& text) {
  render::SceneResult read = render::ReadSceneText(text, ".", "test scene");
  EXPECT_TRUE(read.scene) << read.error;
  if (!read.scene) return {};
  render::RenderSettings settings;
  settings.width = read.scene->image.width;
  settings.height = read.scene->image.height;
  settings.samples = read.scene->image.samples;
  settings.threads = 3;  // not the server's count: the image must not depend on it
  const render::RenderOutcome outcome = render::RenderScene(*read.scene, settings);
  EXPECT_EQ(outcome.error, "");
  return render::ToBytes(outcome.frame.color, true);
}

size_t DifferingBytes(const render::Image8& a, const render::Image8& b) {
  EXPECT_EQ(a.width, b.width);
  EXPECT_EQ(a.height, b.height);
  if (a.rgb.size() != b.rgb.size()) return std::max(a.rgb.size(), b.rgb.size());
  size_t count = 0;
  for (size_t i = 0; i < a.rgb.size(); ++i) count += a.rgb[i] != b.rgb[i] ? 1 : 0;
  return count;
}

class WebEdits : public WebTest {
 protected:
  WebEdits() {
    scenePath = (fs::temp_directory_path() / ("tessaline-web-scene-" + std::to_string(::getpid()) + ".json")).string();
    std::ofstream(scenePath) << ExactScene();
  }
  ~WebEdits() override { fs::remove(scenePath); }

  render::Image8 FinalImage() {
    const Json pass = WaitForFinalPass();
    const auto png = Get(pass.value("url", ""));
    EXPECT_TRUE(png && png->status == 200);
    return png ? Decode(png->body) : render::Image8{};
  }
};

TEST_F(WebEdits, GiveTheImageOfTheSameValuesWrittenInAScene) {
  const Json profile = Json::array({Json::array({0, 0}), Json::array({0.5, 0.8}), Json::array({1, 1})});
  PostJson("/api/param",
           {{"object", softEdges},
            {"channel", "normal"},
            {"params", {{"SOFTEDGE_RADIUS", 0.45}, {"SOFTEDGE_ANGLE_MIN", 35}, {"SOFTEDGE_PROFILE", profile}}}});
  PostJson("/api/param", {{"object", drawnTorus}, {"channel", "color"}, {"symbol", "DRAWEDGE_WIDTH"}, {"value", 0.08}});
  PostJson("/api/channel", {{"object", plainCube}, {"channel", "normal"}, {"shader", "DrawEdge"}});
  const render::Image8 served = FinalImage();

  Json scene = Json::parse(ExactScene());
  // The preview keeps the scene's framing in the view's shape.
  render::CameraSetup camera;
  camera.fov = scene["camera"]["fov"].get<double>();
  const double aspect = scene["image"]["width"].get<double>() / scene["image"]["height"].get<double>();
  scene["camera"]["fov"] = render::FitCamera(camera, aspect, viewWidth, viewHeight).fov;
  scene["image"] = {{"width", viewWidth}, {"height", viewHeight}, {"samples", 16}};
  Json& soft = scene["objects"][softEdges]["material"]["normal"]["params"];
  soft["SOFTEDGE_RADIUS"] = 0.45;
  soft["SOFTEDGE_ANGLE_MIN"] = 35;
  soft["SOFTEDGE_PROFILE"] = profile;
  scene["objects"][drawnTorus]["material"]["color"]["params"]["DRAWEDGE_WIDTH"] = 0.08;
  scene["objects"][plainCube]["material"]["normal"] = {{"shader", "DrawEdge"}};
  EXPECT_EQ(DifferingBytes(served, RenderText(scene.dump())), 0u);

  // Each edit on its own shows.
  Json without = scene;
  without["objects"][softEdges]["material"]["normal"]["params"]["SOFTEDGE_RADIUS"] = 0.3;
  EXPECT_GT(DifferingBytes(served, RenderText(without.dump())), 0u);
  without = scene;
  without["objects"][plainCube]["material"].erase("normal");
  EXPECT_GT(DifferingBytes(served, RenderText(without.dump())), 0u);
}

TEST_F(WebEdits, SavedSceneRendersTheFinalPassAgain) {
  PostJson("/api/view", {{"width", 48}, {"height", 40}});
  PostJson("/api/param",
           {{"object", softEdges}, {"channel", "normal"}, {"symbol", "SOFTEDGE_ANGLE_MAX"}, {"value", 47.3}});
  PostJson("/api/channel", {{"object", bumpedCube}, {"channel", "bump"}, {"shader", "none"}});
  PostJson("/api/channel", {{"object", bumpedCube}, {"channel", "normal"}, {"shader", "Soft Edge"}});
  const render::Image8 served = FinalImage();

  const auto saved = Get("/api/scene.json");
  ASSERT_TRUE(saved);
  EXPECT_EQ(saved->get_header_value("Content-Disposition"), "attachment; filename=\"scene.json\"");
  const Json scene = Json::parse(saved->body);
  EXPECT_EQ(scene["image"]["width"], 48);
  EXPECT_FALSE(scene["objects"][bumpedCube]["material"].contains("bump"));
  EXPECT_EQ(scene["objects"][softEdges]["material"]["normal"]["params"]["SOFTEDGE_ANGLE_MAX"], 47.3);
  EXPECT_EQ(DifferingBytes(served, RenderText(saved->body)), 0u);
  Json unedited = scene;
  unedited["objects"][softEdges]["material"]["normal"]["params"]["SOFTEDGE_ANGLE_MAX"] = 90;
  EXPECT_GT(DifferingBytes(served, RenderText(unedited.dump())), 0u);
}

}  // namespace
}  // namespace tess::test
