// The outputs people composite with: the multi-layer OpenEXR file, the normal
// and albedo PNGs, and how they agree with each other and with the beauty.
#include <gtest/gtest.h>

#include <OpenEXR/ImfChannelList.h>
#include <OpenEXR/ImfFrameBuffer.h>
#include <OpenEXR/ImfHeader.h>
#include <OpenEXR/ImfInputFile.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include <unistd.h>

#include "hostapp/render/image.h"
#include "hostapp/render/render_run.h"
#include "hostapp/services/services.h"

namespace tess::test {
namespace {

namespace fs = std::filesystem;

struct Exr {
  int width = 0, height = 0;
  std::map<std::string, std::vector<float>> channels;
  float At(const std::string& name, int x, int y) const {
    return channels.at(name)[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
  }
};

Exr ReadExr(const std::string& path) {
  Imf::InputFile file(path.c_str());
  const Imath::Box2i window = file.header().dataWindow();
  Exr exr;
  exr.width = window.max.x - window.min.x + 1;
  exr.height = window.max.y - window.min.y + 1;
  Imf::FrameBuffer buffer;
  for (auto c = file.header().channels().begin(); c != file.header().channels().end(); ++c) {
    EXPECT_EQ(c.channel().type, Imf::FLOAT) << c.name();
    std::vector<float>& values = exr.channels[c.name()];
    values.resize(static_cast<size_t>(exr.width) * static_cast<size_t>(exr.height));
    buffer.insert(c.name(), Imf::Slice(Imf::FLOAT, reinterpret_cast<char*>(values.data()), sizeof(float),
                                       sizeof(float) * static_cast<size_t>(exr.width)));
  }
  file.setFrameBuffer(buffer);
  file.readPixels(window.min.y, window.max.y);
  return exr;
}

// A cube seen face on from 5 units: its front face, 4 units away, fills the
// middle of the image; the corners see the background.
std::string CubeScene(const std::string& color, double light) {
  return R"({"camera": {"position": [0, 0, 5], "target": [0, 0, 0], "fov": 40},
    "image": {"width": 33, "height": 25, "samples": 4},
    "lights": [{"type": "distant", "direction": [-0.3, -0.5, -1], "intensity": )" +
         std::to_string(light) + R"(}],
    "objects": [{"name": "cube", "mesh": {"primitive": "cube", "size": 2}, "material": {"color": )" +
         color + "}}]}";
}

const char* const lines = R"({"shader": "DrawEdge", "params": {"DRAWEDGE_WIDTH": 0.3,
  "DRAWEDGE_GRADIENT": [{"position": 0, "color": [0.2, 0.4, 0.6]}, {"position": 1, "color": [1, 1, 0]}]}})";

class RenderOutputs : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = fs::temp_directory_path() /
             ("tessaline-outputs-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) +
              "-" + std::to_string(::getpid()));
    fs::remove_all(folder);
    fs::create_directories(folder);
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(folder, ec);
  }
  void Render(const std::string& scene, render::RenderRequest request) {
    const fs::path file = folder / "scene.json";
    std::ofstream(file) << scene;
    host::ResetServices();
    request.modulePath = TESSALINE_MODULE;
    request.scenePath = file.string();
    request.threads = 2;
    std::ostringstream out, err;
    ASSERT_EQ(render::RunRender(request, out, err), 0) << err.str();
  }
  std::string Path(const std::string& name) const { return (folder / name).string(); }
  fs::path folder;
};

render::Image8 Png(const std::string& path) {
  render::Image8 image;
  EXPECT_EQ(render::ReadPng(path, image), "");
  return image;
}

TEST_F(RenderOutputs, TheExrHoldsTheBeautyTheNormalsTheAlbedoAndTheDistanceInFloats) {
  render::RenderRequest request;
  request.output = Path("frame.exr");
  request.normals = Path("normals.png");
  request.albedo = Path("albedo.png");
  Render(CubeScene("[0.8, 0.5, 0.3]", 1.0), request);
  request = {};
  request.output = Path("frame.png");
  Render(CubeScene("[0.8, 0.5, 0.3]", 1.0), request);

  const Exr exr = ReadExr(Path("frame.exr"));
  ASSERT_EQ(exr.width, 33);
  ASSERT_EQ(exr.height, 25);
  std::set<std::string> names;
  for (const auto& [name, values] : exr.channels) names.insert(name);
  EXPECT_EQ(names,
            (std::set<std::string>{"A", "B", "G", "R", "N.X", "N.Y", "N.Z", "Z", "albedo.B", "albedo.G", "albedo.R"}));

  // The middle of the front face: 4 units away, facing the camera.
  EXPECT_NEAR(exr.At("Z", 16, 12), 4.0, 0.01);
  EXPECT_NEAR(exr.At("N.Z", 16, 12), 1.0, 1e-6);
  EXPECT_NEAR(exr.At("albedo.R", 16, 12), 0.8, 1e-6);
  EXPECT_NEAR(exr.At("albedo.G", 16, 12), 0.5, 1e-6);
  EXPECT_NEAR(exr.At("albedo.B", 16, 12), 0.3, 1e-6);
  EXPECT_EQ(exr.At("A", 16, 12), 1.0f);
  // A corner: nothing there.
  EXPECT_TRUE(std::isinf(exr.At("Z", 0, 0)) && exr.At("Z", 0, 0) > 0);
  EXPECT_EQ(exr.At("A", 0, 0), 0.0f);
  EXPECT_EQ(exr.At("N.X", 0, 0), 0.0f);
  EXPECT_EQ(exr.At("albedo.R", 0, 0), 0.0f);
  // The silhouette is partly covered: some pixels have hits and misses.
  size_t partial = 0;
  for (const float a : exr.channels.at("A")) partial += a > 0.0f && a < 1.0f ? 1 : 0;
  EXPECT_GT(partial, 10u);

  // The beauty premultiplied by A: over the background it is the PNG's,
  // before the 8-bit sRGB encoding.
  const HostVector background{0.05, 0.05, 0.07};  // the scene's default
  EXPECT_EQ(exr.At("R", 0, 0), 0.0f);
  render::Image beauty(exr.width, exr.height);
  for (int y = 0; y < exr.height; ++y)
    for (int x = 0; x < exr.width; ++x) {
      const double clear = 1.0 - exr.At("A", x, y);
      beauty.At(x, y) = {exr.At("R", x, y) + clear * background.x, exr.At("G", x, y) + clear * background.y,
                         exr.At("B", x, y) + clear * background.z};
    }
  const render::Image8 png = Png(Path("frame.png"));
  const render::Image8 fromExr = render::ToBytes(beauty, true);
  ASSERT_EQ(png.rgb.size(), fromExr.rgb.size());
  for (size_t i = 0; i < png.rgb.size(); ++i) ASSERT_LE(std::abs(png.rgb[i] - fromExr.rgb[i]), 1) << i;

  // The PNGs are the layers in eight bits: a normal n as 0.5 n + 0.5.
  const render::Image8 normals = Png(Path("normals.png")), albedo = Png(Path("albedo.png"));
  const char* const axes[] = {"N.X", "N.Y", "N.Z"};
  const char* const colours[] = {"albedo.R", "albedo.G", "albedo.B"};
  for (int y = 0; y < exr.height; ++y)
    for (int x = 0; x < exr.width; ++x)
      for (int c = 0; c < 3; ++c) {
        const size_t i = (static_cast<size_t>(y) * 33 + static_cast<size_t>(x)) * 3 + static_cast<size_t>(c);
        ASSERT_NEAR(normals.rgb[i] / 255.0 * 2.0 - 1.0, exr.At(axes[c], x, y), 1.0 / 127.0) << x << ", " << y;
        ASSERT_NEAR(albedo.rgb[i] / 255.0, exr.At(colours[c], x, y), 0.5 / 255.0 + 1e-6) << x << ", " << y;
      }
}

TEST_F(RenderOutputs, TheAlbedoShowsDrawEdgesLinesWhateverTheLight) {
  render::RenderRequest request;
  request.output = Path("bright.exr");
  Render(CubeScene(lines, 1.0), request);
  request.output = Path("dim.exr");
  Render(CubeScene(lines, 0.3), request);
  const Exr bright = ReadExr(Path("bright.exr")), dim = ReadExr(Path("dim.exr"));
  EXPECT_EQ(bright.channels.at("albedo.R"), dim.channels.at("albedo.R"));
  EXPECT_EQ(bright.channels.at("albedo.B"), dim.channels.at("albedo.B"));
  EXPECT_NE(bright.channels.at("R"), dim.channels.at("R"));
  // Away from the edges the gradient's end; on a line (the front face's
  // right edge, at x = 1 four units away: about pixel 24) toward its start.
  EXPECT_NEAR(bright.At("albedo.B", 16, 12), 0.0, 1e-5);
  float line = 0.0f;
  for (int x = 20; x < 28; ++x) line = std::max(line, bright.At("albedo.B", x, 12));
  EXPECT_GT(line, 0.4f);
}

}  // namespace
}  // namespace tess::test
