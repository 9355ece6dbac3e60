// Rendering through the module's shaders: known answers, thread-count
// independence and image regression against committed references.
#include <cstdlib>
#include <sstream>

#include "hostapp/render/render_run.h"
#include "render_fixture.h"

namespace tess::test {
namespace {

// A cube far larger than the view: every visible point lies metres from any edge.
std::string BigCube(const std::string& normalChannel) {
  return R"({"camera": {"position": [0.3, 0.2, 8], "target": [0, 0, 0], "fov": 20},
    "image": {"width": 48, "height": 36, "samples": 2},
    "objects": [{"mesh": {"primitive": "cube", "size": 10}, "rotation": [5, 10, 0],
      "material": {"color": [0.7, 0.6, 0.5])" +
         normalChannel + "}}]}";
}

TEST_F(RenderTest, SoftEdgeFarFromEveryEdgeRendersExactlyLikeThePlainSurface) {
  const render::Image8 plain = Render(Read(BigCube("")), 2);
  const render::Image8 edges =
      Render(Read(BigCube(R"(, "normal": {"shader": "SoftEdge", "params": {"SOFTEDGE_RADIUS": 0.2}})")), 2);
  const render::Image8 rays =
      Render(Read(BigCube(R"(, "normal": {"shader": "SoftEdge", "params": {"SOFTEDGE_RADIUS": 0.2, "SOFTEDGE_METHOD": 1,
        "SOFTEDGE_ANGLE_MIN": 30, "SOFTEDGE_SAMPLES": 16}})")),
             2);
  EXPECT_EQ(plain.rgb, edges.rgb);
  EXPECT_EQ(plain.rgb, rays.rgb);
  EXPECT_GT(plain.rgb[0], 20) << "the view must show the lit surface, not the background";
}

TEST_F(RenderTest, DrawEdgeOnOneQuadDrawsItsBorderAndLeavesTheInteriorAtItsBackground) {
  const render::Scene& scene = Read(R"({"camera": {"position": [0, 0, 5], "target": [0, 0, 0], "fov": 40},
    "image": {"width": 64, "height": 64, "samples": 1, "background": [1, 0, 0]},
    "lights": [{"type": "ambient", "color": [1, 1, 1]}],
    "objects": [{"mesh": {"points": [[-1, -1, 0], [1, -1, 0], [1, 1, 0], [-1, 1, 0]], "polygons": [[0, 1, 2, 3]]},
      "material": {"specular": 0, "color": {"shader": "DrawEdge", "params": {"DRAWEDGE_WIDTH": 0.1, "DRAWEDGE_FALLOFF": [[0, 0], [1, 1]]}}}}]})");
  const render::Image8 image = Render(scene, 2);
  auto px = [&](int x, int y, int c) {
    return image.rgb[(static_cast<size_t>(y) * 64 + static_cast<size_t>(x)) * 3 + static_cast<size_t>(c)];
  };
  // The quad spans about pixels 14.4 .. 49.6 in both directions.
  for (int y = 20; y < 44; ++y)
    for (int x = 20; x < 44; ++x) ASSERT_EQ(px(x, y, 0) + px(x, y, 1) + px(x, y, 2), 3 * 255) << x << "," << y;
  // Walking in from each side, the first pixel on the quad lies on its border line.
  auto firstOnQuad = [&](int x, int y, int stepX, int stepY) {
    while (px(x, y, 1) == 0 && x > 0 && x < 63 && y > 0 && y < 63) x += stepX, y += stepY;
    return px(x, y, 1);
  };
  EXPECT_LT(firstOnQuad(0, 32, 1, 0), 90);
  EXPECT_LT(firstOnQuad(63, 32, -1, 0), 90);
  EXPECT_LT(firstOnQuad(32, 0, 0, 1), 90);
  EXPECT_LT(firstOnQuad(32, 63, 0, -1), 90);
  EXPECT_EQ(px(3, 32, 0), 255);  // outside: the image background
  EXPECT_EQ(px(3, 32, 1), 0);
}

// Per-channel tolerance of the references: a few levels for floating-point
// differences between machines; structure changes move far more.
constexpr int tolerance = 6;
constexpr double maxDifferingShare = 0.002;

void CompareWithReference(const std::string& name, const render::Image8& image) {
  const std::string reference = std::string(TESSALINE_RENDER_TESTS) + "/references/" + name + ".png";
  const char* update = std::getenv("TESSALINE_UPDATE_REFERENCES");
  if (update != nullptr && std::string(update) == "1") {
    ASSERT_EQ(render::WritePng(reference, image), "");
    return;
  }
  render::Image8 expected;
  ASSERT_EQ(render::ReadPng(reference, expected), "") << "run with TESSALINE_UPDATE_REFERENCES=1 to make it";
  ASSERT_EQ(expected.width, image.width);
  ASSERT_EQ(expected.height, image.height);
  render::Image8 diff{image.width, image.height, std::vector<uint8_t>(image.rgb.size(), 0)};
  size_t differing = 0;
  for (size_t i = 0; i < image.rgb.size(); ++i) {
    const int d = std::abs(int(image.rgb[i]) - int(expected.rgb[i]));
    diff.rgb[i] = static_cast<uint8_t>(std::min(255, d * 8));
    differing += d > tolerance ? 1 : 0;
  }
  if (double(differing) > maxDifferingShare * double(image.rgb.size())) {
    const std::string out = std::string(TESSALINE_RENDER_OUTPUT) + "/" + name;
    render::WritePng(out + ".png", image);
    render::WritePng(out + ".diff.png", diff);
    ADD_FAILURE() << name << ": " << differing << " channel values differ by more than " << tolerance << "; see " << out
                  << ".png and .diff.png";
  }
}

TEST_F(RenderTest, SmallScenesMatchTheirReferenceImages) {
  for (const char* name : {"softedge_edges", "softedge_rays", "drawedge_color", "drawedge_bump"}) {
    SCOPED_TRACE(name);
    render::SceneResult r = render::ReadSceneFile(std::string(TESSALINE_RENDER_TESTS) + "/scenes/" + name + ".json");
    ASSERT_TRUE(r.scene) << r.error;
    // Ray sampling draws its pattern from per-thread state, and which tiles a
    // thread takes varies from run to run: only one thread gives a fixed image.
    CompareWithReference(name, Render(*r.scene, 1));
  }
}

TEST(RenderCommand, UnwritableOutputIsOneErrorLineAndAFailure) {
  host::ResetServices();
  render::RenderRequest request;
  request.modulePath = TESSALINE_MODULE;
  request.scenePath = std::string(TESSALINE_RENDER_TESTS) + "/scenes/drawedge_color.json";
  request.output = "/nonexistent-folder/out.png";
  request.threads = 2;
  std::ostringstream out, err;
  EXPECT_EQ(render::RunRender(request, out, err), 1);
  const std::string text = err.str();
  EXPECT_EQ(text, "error: /nonexistent-folder/out.png: no such file or directory\n");
}

}  // namespace
}  // namespace tess::test
