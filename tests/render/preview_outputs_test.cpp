// What the preview asks of the renderer beyond the colour: a camera framed
// for another image shape, the object each pixel's first sample hit, and
// normals and albedo summed across passes that add up one sample set.
#include <cmath>

#include "hostapp/render/camera.h"
#include "render_fixture.h"

namespace tess::test {
namespace {

constexpr double pi = 3.141592653589793;

double HalfTangent(double fovDegrees) {
  return std::tan(fovDegrees * pi / 360.0);
}

TEST(FitCamera, WidensTheVerticalViewOnlyWhereTheImageIsNarrowerThanTheScenes) {
  render::CameraSetup camera;
  camera.fov = 30.0;
  camera.position = {1, 2, 3};
  // Half as wide in shape: the vertical half-tangent doubles, so the
  // horizontal one, tan(fov / 2) * aspect, stays the scene's.
  const render::CameraSetup narrow = render::FitCamera(camera, 2.0, 100, 100);
  EXPECT_NEAR(HalfTangent(narrow.fov), 2.0 * HalfTangent(30.0), 1e-12);
  EXPECT_EQ(narrow.position.y, 2.0);
  // 1000 x 360 framed in 64 x 36.
  const render::CameraSetup pane = render::FitCamera(camera, 1000.0 / 360.0, 64, 36);
  EXPECT_NEAR(HalfTangent(pane.fov), HalfTangent(30.0) * (1000.0 / 360.0) / (64.0 / 36.0), 1e-12);
  EXPECT_NEAR(pane.fov, 45.4353, 1e-3);
  // As wide or wider, and shapes that make no sense, leave it as it is.
  EXPECT_EQ(render::FitCamera(camera, 2.0, 200, 100).fov, 30.0);
  EXPECT_EQ(render::FitCamera(camera, 2.0, 400, 100).fov, 30.0);
  EXPECT_EQ(render::FitCamera(camera, 0.0, 10, 100).fov, 30.0);
  EXPECT_EQ(render::FitCamera(camera, std::nan(""), 10, 100).fov, 30.0);
  EXPECT_EQ(render::FitCamera(camera, 2.0, 0, 100).fov, 30.0);
  // A very narrow image widens towards, never past, a half turn.
  EXPECT_LT(render::FitCamera(camera, 2.0, 1, 4096).fov, 180.0);
}

// Two quads in the plane z = 0, left (object 0) and right (object 1) of a
// gap, seen straight on.
constexpr const char* twoQuads = R"({"camera": {"position": [0, 0, 5], "target": [0, 0, 0], "fov": 40},
  "image": {"width": 64, "height": 48, "samples": 4},
  "lights": [{"type": "ambient", "color": [1, 1, 1]}],
  "objects": [
    {"mesh": {"points": [[-2, -1, 0], [-0.5, -1, 0], [-0.5, 1, 0], [-2, 1, 0]], "polygons": [[0, 1, 2, 3]]},
     "material": {"color": [0.2, 0.4, 0.6]}},
    {"mesh": {"points": [[0.5, -1, 0], [2, -1, 0], [2, 1, 0], [0.5, 1, 0]], "polygons": [[0, 1, 2, 3]]},
     "material": {"color": [0.9, 0.5, 0.1]}}]})";

render::RenderSettings SettingsFor(const render::Scene& scene) {
  render::RenderSettings s;
  s.width = scene.image.width;
  s.height = scene.image.height;
  s.samples = scene.image.samples;
  s.threads = 2;
  return s;
}

TEST_F(RenderTest, ObjectMapNamesTheObjectThePixelsFirstSampleHit) {
  const render::Scene& scene = Read(twoQuads);
  render::RenderSettings s = SettingsFor(scene);
  s.objects = true;
  const render::RenderOutcome outcome = render::RenderScene(scene, s);
  ASSERT_EQ(outcome.error, "");
  const std::vector<int32_t>& objects = outcome.frame.objects;
  ASSERT_EQ(objects.size(), 64u * 48u);
  // Where the first sample's ray meets z = 0, from its offset in the pixel.
  const render::Camera camera(scene.camera, s.width, s.height);
  int counts[3] = {0, 0, 0};
  for (int y = 0; y < s.height; ++y)
    for (int x = 0; x < s.width; ++x) {
      double dx = 0.5, dy = 0.5;
      render::PixelSample(x, y, 0, s.samples, dx, dy);
      const HostVector d = camera.Direction(x + dx, y + dy);
      const double t = -scene.camera.position.z / d.z;
      const double px = scene.camera.position.x + d.x * t, py = scene.camera.position.y + d.y * t;
      int expected = -1;
      if (std::fabs(py) < 1.0 && px > -2.0 && px < -0.5) expected = 0;
      if (std::fabs(py) < 1.0 && px > 0.5 && px < 2.0) expected = 1;
      // Rays grazing an edge may go either way.
      const bool nearEdge = std::fabs(std::fabs(py) - 1.0) < 1e-6 || std::fabs(std::fabs(px) - 0.5) < 1e-6 ||
                            std::fabs(std::fabs(px) - 2.0) < 1e-6;
      if (nearEdge) continue;
      EXPECT_EQ(objects[static_cast<size_t>(y) * 64 + static_cast<size_t>(x)], expected) << x << ", " << y;
      ++counts[expected + 1];
    }
  EXPECT_GT(counts[0], 100);
  EXPECT_GT(counts[1], 100);
  EXPECT_GT(counts[2], 100);
  // A render without the pixels' first samples has no map to give.
  s.sampleBegin = 1;
  EXPECT_TRUE(render::RenderScene(scene, s).frame.objects.empty());
}

TEST_F(RenderTest, OutputSumsOfPassesAddUpToOneRenderOfTheirSamples) {
  const render::Scene& scene = Read(twoQuads);
  render::RenderSettings whole = SettingsFor(scene);
  whole.normals = whole.albedo = whole.outputSums = true;
  const render::RenderOutcome all = render::RenderScene(scene, whole);
  ASSERT_EQ(all.error, "");

  render::RenderSettings first = whole;
  first.sampleEnd = 1;
  const render::RenderOutcome one = render::RenderScene(scene, first);
  render::RenderSettings rest = whole;
  rest.sampleBegin = 1;
  rest.previous = &one.frame.color;
  rest.previousNormals = &one.frame.normals;
  rest.previousAlbedo = &one.frame.albedo;
  const render::RenderOutcome added = render::RenderScene(scene, rest);
  ASSERT_EQ(added.error, "");

  EXPECT_EQ(ToBytes(added.frame.color, true).rgb, ToBytes(all.frame.color, true).rgb);
  ASSERT_EQ(added.frame.albedo.values.size(), all.frame.albedo.values.size());
  double largest = 0.0;
  for (size_t i = 0; i < all.frame.albedo.values.size(); ++i) {
    EXPECT_NEAR(added.frame.albedo.values[i], all.frame.albedo.values[i], 1e-5) << i;
    EXPECT_NEAR(added.frame.normals.values[i], all.frame.normals.values[i], 1e-5) << i;
    largest = std::max(largest, static_cast<double>(all.frame.albedo.values[i]));
  }
  // Sums, not means: four samples of the orange quad's red 0.9.
  EXPECT_NEAR(largest, 4 * 0.9, 1e-5);
  const float* centre = all.frame.normals.At(48, 24);
  EXPECT_NEAR(centre[2], 4.0, 1e-5);  // four hits facing the camera
}

}  // namespace
}  // namespace tess::test
