// The render's side of the API over HTTP: a pass's outputs as PNGs, and the
// render controls (samples, scale, pause) with their refusals.
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "hostapp/render/image.h"
#include "tests/web/web_fixture.h"

namespace tess::test {
namespace {

namespace fs = std::filesystem;

// A quad facing the camera (object 0) on the left, a second one (object 1)
// on the right, background between and around them; the scene's image has
// the test view's shape, so the view frames it as the scene does.
constexpr const char* facingQuads = R"({"camera": {"position": [0, 0, 5], "target": [0, 0, 0], "fov": 40},
  "image": {"width": 64, "height": 36, "samples": 1},
  "lights": [{"type": "ambient", "color": [1, 1, 1]}],
  "objects": [
    {"mesh": {"points": [[-2, -1, 0], [-0.5, -1, 0], [-0.5, 1, 0], [-2, 1, 0]], "polygons": [[0, 1, 2, 3]]},
     "material": {"color": [0.2, 0.4, 0.6], "specular": 0}},
    {"mesh": {"points": [[0.5, -1, 0], [2, -1, 0], [2, 1, 0], [0.5, 1, 0]], "polygons": [[0, 1, 2, 3]]},
     "material": {"color": [0.9, 0.5, 0.1], "specular": 0}}]})";

render::Image8 Decode(const std::string& png) {
  const fs::path file = fs::temp_directory_path() / ("tessaline-aov-" + std::to_string(::getpid()) + ".png");
  std::ofstream(file, std::ios::binary) << png;
  render::Image8 image;
  EXPECT_EQ(render::ReadPng(file.string(), image), "");
  fs::remove(file);
  return image;
}

class WebRenderOutputs : public WebTest {
 protected:
  WebRenderOutputs() {
    scenePath = (fs::temp_directory_path() / ("tessaline-quads-" + std::to_string(::getpid()) + ".json")).string();
    std::ofstream(scenePath) << facingQuads;
  }
  ~WebRenderOutputs() override { fs::remove(scenePath); }

  render::Image8 Aov(const Json& pass, const std::string& aov) {
    const auto png = Get(pass["url"].get<std::string>() + "&aov=" + aov);
    EXPECT_TRUE(png && png->status == 200) << aov;
    if (!png || png->status != 200) return {};
    EXPECT_EQ(png->get_header_value("Content-Type"), "image/png");
    return Decode(png->body);
  }

  // Pixel (x, y) of an image as 0xRRGGBB.
  static uint32_t Rgb(const render::Image8& image, int x, int y) {
    const size_t i = (static_cast<size_t>(y) * static_cast<size_t>(image.width) + static_cast<size_t>(x)) * 3;
    return uint32_t{image.rgb[i]} << 16 | uint32_t{image.rgb[i + 1]} << 8 | image.rgb[i + 2];
  }
};

TEST_F(WebRenderOutputs, PassOutputsAreImagesOfThePassSizeAndShowWhatThePixelsHit) {
  const Json pass = WaitForFinalPass();
  const render::Image8 beauty = Aov(pass, "beauty");
  const render::Image8 normal = Aov(pass, "normal");
  const render::Image8 albedo = Aov(pass, "albedo");
  const render::Image8 object = Aov(pass, "object");
  for (const render::Image8* image : {&beauty, &normal, &albedo, &object}) {
    EXPECT_EQ(image->width, pass["width"]);
    EXPECT_EQ(image->height, pass["height"]);
  }
  EXPECT_NE(normal.rgb, beauty.rgb);
  EXPECT_NE(albedo.rgb, beauty.rgb);
  EXPECT_NE(object.rgb, beauty.rgb);
  // The quads' centres and the gap between them, in pixels of the 64 x 36 view.
  const int left = 16, right = 47, gap = 32, row = 18;
  // Facing the camera: (0, 0, 1) maps to (128, 128, 255); the background has no normal.
  EXPECT_EQ(Rgb(normal, left, row), 0x8080FFu);
  EXPECT_EQ(Rgb(normal, right, row), 0x8080FFu);
  EXPECT_EQ(Rgb(normal, gap, row), 0u);
  EXPECT_EQ(Rgb(normal, 0, 0), 0u);
  // Objects as their index + 1, the background 0.
  EXPECT_EQ(Rgb(object, left, row), 1u);
  EXPECT_EQ(Rgb(object, right, row), 2u);
  EXPECT_EQ(Rgb(object, gap, row), 0u);
  // The colour channel in sRGB, as the image is: 0.2 encodes to 124.
  EXPECT_EQ(albedo.rgb[(static_cast<size_t>(row) * 64 + left) * 3], 124);
  EXPECT_EQ(Rgb(albedo, gap, row), 0u);

  const auto unknown = Get(pass["url"].get<std::string>() + "&aov=depth");
  ASSERT_TRUE(unknown);
  EXPECT_EQ(unknown->status, 400);
  EXPECT_NE(unknown->body.find("aov"), std::string::npos);
  EXPECT_EQ(unknown->body.find('\n'), std::string::npos);
  // Asked again, an output is the same bytes.
  EXPECT_EQ(Aov(pass, "object").rgb, object.rgb);
}

TEST_F(WebRenderOutputs, BadRenderControlsAreRefusedAndChangeNothing) {
  WaitForFinalPass();
  const Json before = GetJson("/api/status");
  const Json refused[] = {{{"samples", 0}},
                          {{"samples", 257}},
                          {{"samples", 2.5}},
                          {{"samples", "16"}},
                          {{"scale", 0.3}},
                          {{"scale", 2}},
                          {{"scale", "1"}},
                          {{"paused", 1}},
                          {{"paused", "true"}},
                          {{"sample", 4}},
                          {{"samples", 4}, {"scale", 0.75}},
                          {{"samples", nullptr}}};
  for (const Json& body : refused) {
    const Json answer = PostJson("/api/render", body, 400);
    EXPECT_TRUE(answer.contains("error")) << body.dump();
  }
  EXPECT_EQ(Post("/api/render", Json::array())->status, 400);
  const Json after = GetJson("/api/status");
  EXPECT_EQ(after["generation"], before["generation"]);
  EXPECT_EQ(after["latest"], before["latest"]);
  // The controls are as they were: the next change starts from them.
  const Json answer = PostJson("/api/render", {{"samples", 16}});
  EXPECT_EQ(answer["render"], Json({{"samples", 16}, {"scale", 1.0}, {"paused", false}}));
  EXPECT_EQ(answer["generation"], before["generation"]);
}

TEST_F(WebRenderOutputs, ControlsSetTheFinalPassAndPauseHoldsViewsUntilResumed) {
  WaitForFinalPass();
  Json answer = PostJson("/api/render", {{"samples", 4}, {"scale", 0.5}});
  EXPECT_EQ(answer["render"]["samples"], 4);
  const Json scaled = WaitForFinalPass();
  EXPECT_EQ(scaled["generation"], answer["generation"]);
  EXPECT_EQ(scaled["samples"], 4);
  EXPECT_EQ(scaled["passes"], 3);
  EXPECT_EQ(scaled["width"], viewWidth / 2);
  EXPECT_EQ(scaled["height"], viewHeight / 2);

  answer = PostJson("/api/render", {{"paused", true}});
  EXPECT_EQ(answer["render"]["paused"], true);
  const Json paused = GetJson("/api/status");
  EXPECT_FALSE(paused["running"].get<bool>());
  const uint64_t viewed = PostJson("/api/view", {{"width", 40}, {"height", 30}})["generation"].get<uint64_t>();
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  const Json held = GetJson("/api/status");
  EXPECT_FALSE(held["running"].get<bool>());
  EXPECT_EQ(held["latest"], paused["latest"]) << "a pass came while paused";

  answer = PostJson("/api/render", {{"paused", false}, {"samples", 1}});
  EXPECT_GT(answer["generation"].get<uint64_t>(), viewed);
  const Json resumed = WaitForFinalPass();
  EXPECT_EQ(resumed["width"], 20);
  EXPECT_EQ(resumed["passes"], 2);
  EXPECT_EQ(resumed["samples"], 1);
  // The saved scene renders the final pass: its size and samples are the render's.
  const Json saved = GetJson("/api/scene.json");
  EXPECT_EQ(saved["image"]["width"], 20);
  EXPECT_EQ(saved["image"]["samples"], 1);
}

TEST_F(WebRenderOutputs, ProgressEventsGrowOverTheGenerationAndEndAtOne) {
  WaitForFinalPass();
  PostJson("/api/render", {{"samples", 64}});
  const uint64_t generation = PostJson("/api/view", {{"width", 320}, {"height", 180}})["generation"].get<uint64_t>();
  std::vector<double> overall;
  std::string buffer;
  // Reads the stream until the generation's progress reaches 1 (the client's
  // read timeout bounds the wait).
  client->Get(WithToken("/api/events"), [&](const char* data, size_t size) {
    buffer.append(data, size);
    for (size_t end = buffer.find("\n\n"); end != std::string::npos; end = buffer.find("\n\n")) {
      const std::string event = buffer.substr(0, end);
      buffer.erase(0, end + 2);
      if (event.rfind("event: progress", 0) != 0) continue;
      const Json progress = Json::parse(event.substr(event.find("data: ") + 6));
      if (progress["generation"] == generation) overall.push_back(progress["overall"].get<double>());
    }
    return overall.empty() || overall.back() < 1.0;
  });
  ASSERT_FALSE(overall.empty());
  EXPECT_EQ(overall.back(), 1.0);
  for (size_t i = 1; i < overall.size(); ++i) EXPECT_GE(overall[i], overall[i - 1]) << "event " << i;
}

}  // namespace
}  // namespace tess::test
