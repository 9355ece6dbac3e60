// Welding restores the neighbours: every format renders like the OBJ of its
// topology. Welding through scenes, and `render MODEL`.
#include <cstdlib>
#include <sstream>
#include <tuple>

#include <unistd.h>

#include "hostapp/render/render_run.h"
#include "hostapp/scene/model_scene.h"
#include "tests/render/render_fixture.h"

namespace tess::test {
namespace {

const std::string data = TESSALINE_ASSETS;

std::string Scene(const std::string& meshKeys, const std::string& material) {
  return R"({"camera": {"position": [3, 2.4, 4.2], "target": [0, 0, 0], "fov": 40},
    "image": {"width": 96, "height": 72, "samples": 2},
    "objects": [{"name": "cube", "mesh": {)" +
         meshKeys + R"(}, "rotation": [0, 15, 0], "material": )" + material + "}]}";
}

std::string File(const std::string& name) {
  return R"("file": ")" + data + "/" + name + "\"";
}

// Both shaders at once (Draw Edge in colour, Soft Edge's edge method in the
// normal channel), and Soft Edge's ray sampling on its own.
const char* const bothShaders = R"({"color": {"shader": "DrawEdge", "params": {"DRAWEDGE_WIDTH": 0.08}},
  "normal": {"shader": "SoftEdge", "params": {"SOFTEDGE_RADIUS": 0.3}}})";
const char* const raySampling = R"({"color": [0.8, 0.5, 0.3], "normal": {"shader": "SoftEdge",
  "params": {"SOFTEDGE_METHOD": "SOFTEDGE_METHOD_SAMPLING", "SOFTEDGE_RADIUS": 0.3, "SOFTEDGE_SAMPLES": 16}}})";

// Channel values that differ by more than one level: the same polygons whose
// corners start elsewhere sum the same edges in another order, which can
// move a value by a rounding step, never more.
size_t Differing(const render::Image8& a, const render::Image8& b) {
  EXPECT_EQ(a.rgb.size(), b.rgb.size());
  size_t n = 0;
  for (size_t i = 0; i < a.rgb.size() && i < b.rgb.size(); ++i) n += std::abs(a.rgb[i] - b.rgb[i]) > 1 ? 1 : 0;
  return n;
}

TEST_F(RenderTest, EveryFormatRendersWithBothShadersLikeTheObjOfItsTopology) {
  // STL and PLY stand z up: the OBJ stated z up turns the same way, and so
  // do its diagonals, which Draw Edge shows.
  const std::tuple<const char*, const char*, bool> assets[] = {
      {"cube_binary.stl", "cube_triangles.obj", true}, {"cube_ascii.stl", "cube_triangles.obj", true},
      {"cube.gltf", "cube_triangles.obj", false},      {"cube.glb", "cube_triangles.obj", false},
      {"cube_ascii.ply", "cube_quads.obj", true},      {"cube_binary.ply", "cube_quads.obj", true},
      {"cube.dae", "cube_quads.obj", false},           {"cube.fbx", "cube_quads.obj", false},
  };
  for (const char* material : {bothShaders, raySampling}) {
    // Ray sampling takes its pattern from per-thread state: one thread gives one image.
    const render::Image8 triangles = Render(Read(Scene(File("cube_triangles.obj"), material)), 1);
    const render::Image8 quads = Render(Read(Scene(File("cube_quads.obj"), material)), 1);
    const std::string zUp = R"(, "up": "z")";
    const render::Image8 trianglesZUp = Render(Read(Scene(File("cube_triangles.obj") + zUp, material)), 1);
    const render::Image8 quadsZUp = Render(Read(Scene(File("cube_quads.obj") + zUp, material)), 1);
    // Draw Edge draws the flat diagonals (its angle minimum is 0): the
    // topologies differ, so each format must have kept its own. Ray sampling
    // sees the surface only.
    if (material == bothShaders) {
      EXPECT_GT(Differing(triangles, quads), 100u);
    }
    for (const auto& [asset, obj, zUpFormat] : assets) {
      SCOPED_TRACE(asset);
      const bool tri = std::string(obj) == "cube_triangles.obj";
      const render::Image8& expected = zUpFormat ? (tri ? trianglesZUp : quadsZUp) : (tri ? triangles : quads);
      EXPECT_EQ(Differing(Render(Read(Scene(File(asset), material)), 1), expected), 0u);
    }
  }
  // Unwelded, every edge is a border: Draw Edge draws them all, Soft Edge rounds none.
  const render::Image8 unwelded = Render(Read(Scene(File("cube_binary.stl") + R"(, "weld": false)", bothShaders)), 1);
  EXPECT_GT(Differing(unwelded, Render(Read(Scene(File("cube_triangles.obj") + R"(, "up": "z")", bothShaders)), 1)),
            100u);
}

TEST_F(RenderTest, WeldingIsRelativeByDefaultAndCanBeAbsoluteOrOff) {
  struct Case {
    std::string keys;
    size_t points;
  };
  // A cube of diagonal 2√3 with one corner of one triangle 0.001 off its place.
  WriteFile("nudged.obj",
            "v -1 -1 -1\nv 1 -1 -1\nv 1 1 -1\nv -1 1 -1\nv -1 -1 1\nv 1 -1 1\nv 1 1 1\nv -1 1 1\n"
            "v 1.001 1 1\nf 1 4 3 2\nf 5 6 7 8\nf 1 5 8 4\nf 2 3 9 6\nf 1 2 6 5\nf 4 8 7 3\n");
  const Case cases[] = {
      {R"("file": "nudged.obj")", 9},  // 0.001 is far beyond a millionth of the diagonal
      {R"("file": "nudged.obj", "weld": 0.002)", 8},
      {R"("file": "nudged.obj", "weld": 0.0005)", 9},
      {R"("file": "nudged.obj", "weld": true)", 9},
      {File("cube_binary.stl") + R"(, "weld": false)", 36},
      {File("cube_binary.stl") + R"(, "weld": 0)", 8},
      {File("cube_binary.stl"), 8},
  };
  for (const Case& c : cases) {
    const render::Scene& scene = Read(Scene(c.keys, "{}"));
    ASSERT_EQ(scene.objects.size(), 1u) << c.keys;
    EXPECT_EQ(scene.objects[0].mesh.points.size(), c.points) << c.keys;
    ASSERT_TRUE(scene.objects[0].meshFile.has_value());
    EXPECT_EQ(scene.objects[0].meshFile->welded, c.keys.find("false") == std::string::npos);
  }
}

TEST_F(RenderTest, ACleanObjKeepsEveryIndexThroughTheWeld) {
  // Corners name points out of order and one point is used by no polygon.
  WriteFile("clean.obj", "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nv 2 0 0\nv 9 9 9\nf 3 4 1 2\nf 5 3 2\nf 4 3 5\n");
  const render::Scene& scene = Read(R"({"objects": [{"mesh": {"file": "clean.obj"}}]})");
  const render::Mesh& m = scene.objects[0].mesh;
  ASSERT_EQ(m.points.size(), 6u);
  EXPECT_EQ(m.points[5].z, 9.0);
  ASSERT_EQ(m.polygons.size(), 3u);
  EXPECT_EQ(m.polygons[0].a, 2);
  EXPECT_EQ(m.polygons[0].d, 1);
  EXPECT_EQ(m.polygons[1].a, 4);
  EXPECT_EQ(m.polygons[2].c, 4);
}

TEST_F(RenderTest, SceneKeysForMeshFilesAreChecked) {
  const std::pair<std::string, std::string> cases[] = {
      {R"({"objects": [{"mesh": {"primitive": "cube", "weld": false}}]})", "objects[0].mesh.weld: only with \"file\""},
      {R"({"objects": [{"mesh": {)" + File("nodes.gltf") + R"(, "children": false}}]})",
       "objects[0].mesh.children: only with \"node\""},
      {R"({"objects": [{"mesh": {)" + File("nodes.gltf") + R"(, "node": -1}}]})",
       "objects[0].mesh.node: expected a node's name or its number"},
      {R"({"objects": [{"mesh": {)" + File("nodes.gltf") + R"(, "weld": -0.1}}]})",
       "objects[0].mesh.weld: expected true, false or a distance of 0 or more"},
      {R"({"objects": [{"mesh": {)" + File("nodes.gltf") + R"(, "node": "Nope"}}]})",
       "/nodes.gltf: there is no node named \"Nope\""},
  };
  for (const auto& [text, expected] : cases) {
    const std::string error = ReadError(text);
    EXPECT_NE(error.find(expected), std::string::npos) << "got: " << error;
  }
}

class RenderModel : public ::testing::Test {
 protected:
  void SetUp() override {
    // CTest runs the tests of this fixture side by side: a folder each.
    folder = fs::temp_directory_path() /
             ("tessaline-render-model-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) +
              "-" + std::to_string(::getpid()));
    fs::remove_all(folder);
    fs::create_directories(folder / "scenes");
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(folder, ec);
  }
  int Run(render::RenderRequest request, std::string* error = nullptr) {
    host::ResetServices();
    request.modulePath = TESSALINE_MODULE;
    request.threads = 2;
    std::ostringstream out, err;
    const int code = render::RunRender(request, out, err);
    if (error != nullptr) *error = err.str();
    stats = out.str();
    return code;
  }
  fs::path folder;
  std::string stats;
};

std::string Bytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST_F(RenderModel, AModelRendersAtOnceAndItsPrintedSceneRendersTheSameImage) {
  // The model inside the scene's folder: the scene names it relative to
  // itself, so that the two move together.
  fs::create_directories(folder / "scenes" / "models");
  fs::copy_file(data + "/nodes.gltf", folder / "scenes" / "models" / "nodes.gltf");
  render::RenderRequest request;
  request.scenePath = (folder / "scenes" / "." / "models" / ".." / "models" / "nodes.gltf").string();
  request.width = 80;
  request.height = 60;
  request.drawEdge = 0.05;
  request.softEdge = 0.1;
  request.output = (folder / "model.png").string();
  request.printScene = (folder / "scenes" / "made.json").string();
  std::string error;
  ASSERT_EQ(Run(request, &error), 0) << error;

  render::Image8 image;
  ASSERT_EQ(render::ReadPng(request.output, image), "");
  size_t lit = 0;  // pixels that show the model or the ground, not the background
  for (size_t i = 0; i + 2 < image.rgb.size(); i += 3) lit += image.rgb[i] > 40 ? 1 : 0;
  EXPECT_GT(lit, image.rgb.size() / 3 / 4);

  const std::string made = Bytes(request.printScene);
  EXPECT_NE(made.find(R"("file": "models/nodes.gltf")"), std::string::npos) << "relative and normal:\n" << made;
  EXPECT_NE(made.find(R"("node": "Base", "children": false)"), std::string::npos) << made;
  EXPECT_NE(made.find(R"("node": 6)"), std::string::npos) << "a name two nodes share is a number:\n" << made;

  render::RenderRequest again;
  again.scenePath = request.printScene;
  again.output = (folder / "again.png").string();
  ASSERT_EQ(Run(again, &error), 0) << error;
  EXPECT_EQ(Bytes(again.output), Bytes(request.output));
}

TEST_F(RenderModel, WithoutShaderOptionsACubeIsRoundedOnEveryEdgeByTwoPercentOfTheDiagonal) {
  render::RenderRequest request;
  request.scenePath = data + "/cube_binary.stl";
  request.width = 40;
  request.height = 30;
  request.stats = true;
  request.output = (folder / "model.png").string();
  request.printScene = (folder / "made.json").string();
  ASSERT_EQ(Run(request), 0);
  // The diagonal of the cube of edge 2 is 2√3 = 3.464: 2% is 0.069.
  const render::Json made = render::Json::parse(Bytes(request.printScene));
  EXPECT_EQ(made["objects"][1]["material"]["normal"],
            render::Json::parse(R"({"shader": "SoftEdge", "params": {"SOFTEDGE_RADIUS": 0.069,
                                    "SOFTEDGE_ANGLE_MIN": 20, "SOFTEDGE_ANGLE_MAX": 180}})"))
      << made.dump();
  EXPECT_NE(stats.find("welded within 3.4641e-06: 36 points to 8, 12 polygons, 0 dropped"), std::string::npos) << stats;
}

TEST_F(RenderModel, ThePrintedSceneNamesTheModelRelativeToItsFolderOrAbsoluteWhenGivenSoElsewhere) {
  const fs::path model = folder / "models" / "cube.stl";
  fs::create_directories(model.parent_path());
  fs::copy_file(data + "/cube_binary.stl", model);
  const fs::path sceneFolder = folder / "scenes";
  // Given relative (to wherever the tests run): relative to the scene's
  // folder, however far up that goes, and normal.
  const fs::path relative = fs::relative(model, fs::current_path());
  const std::string fromRelative =
      render::ModelPathInScene((relative.parent_path() / ".." / "models" / "cube.stl").string(), sceneFolder.string());
  EXPECT_EQ(fromRelative, "../models/cube.stl");
  // A scene folder reached through a link: ".." there leads to the parent of
  // the folder the link names.
  fs::create_directories(folder / "deep" / "er");
  fs::create_directory_symlink(folder / "deep" / "er", folder / "link");
  EXPECT_EQ(render::ModelPathInScene(relative.string(), (folder / "link").string()), "../../models/cube.stl");
  // Given absolute, outside the scene's folder: absolute, normal.
  const std::string fromAbsolute =
      render::ModelPathInScene((folder / "models" / "." / "cube.stl").string(), sceneFolder.string());
  EXPECT_EQ(fromAbsolute, model.generic_string());
  // Inside it: relative, whichever way it was given.
  EXPECT_EQ(render::ModelPathInScene(model.string(), folder.string()), "models/cube.stl");
  EXPECT_EQ(render::ModelPathInScene(model.string(), ""), model.generic_string());
}

TEST_F(RenderModel, APrintedSceneIsWrittenOnlyWhenItsModelWasRead) {
  const fs::path scene = folder / "made.json";
  std::ofstream(scene) << "kept";
  // It has an extent, but its one triangle collapses when welded: the model
  // cannot be read as the scene reads it.
  const fs::path model = folder / "bad.obj";
  std::ofstream(model) << "v 0 0 0\nv 1 1 1\nv 1 1 1\nf 1 2 3\n";
  render::RenderRequest request;
  request.scenePath = model.string();
  request.output = (folder / "model.png").string();
  request.printScene = scene.string();
  std::string error;
  EXPECT_EQ(Run(request, &error), 1);
  EXPECT_NE(error.find("bad.obj: welding left no polygons"), std::string::npos) << error;
  EXPECT_EQ(Bytes(scene), "kept");
  EXPECT_FALSE(fs::exists(request.output));
}

TEST_F(RenderModel, TheUpAxisGivenIsWrittenIntoTheSceneAndRendersTheSame) {
  render::RenderRequest request;
  request.scenePath = data + "/spike_y.obj";
  request.width = 40;
  request.height = 30;
  request.up = "z";
  request.output = (folder / "lying.png").string();
  request.printScene = (folder / "lying.json").string();
  std::string error;
  ASSERT_EQ(Run(request, &error), 0) << error;
  EXPECT_NE(Bytes(request.printScene).find(R"("up": "z")"), std::string::npos) << Bytes(request.printScene);
  render::RenderRequest again;
  again.scenePath = request.printScene;
  again.output = (folder / "again.png").string();
  ASSERT_EQ(Run(again, &error), 0) << error;
  EXPECT_EQ(Bytes(again.output), Bytes(request.output));
  // Standing as OBJ files do, the spike is another picture.
  request.up = "y";
  request.output = (folder / "standing.png").string();
  ASSERT_EQ(Run(request, &error), 0) << error;
  EXPECT_NE(Bytes(request.output), Bytes(again.output));
  request.up = "w";
  EXPECT_EQ(Run(request, &error), 1);
  EXPECT_EQ(error, "error: --up: expected x, y, z, -x, -y or -z, not \"w\"\n");
}

TEST_F(RenderModel, DroppedPolygonsAreCountedAndReportedOnce) {
  // Two triangles of a square and two that collapse when welded.
  const fs::path model = folder / "drops.obj";
  std::ofstream(model) << "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nv 1 0 0\n"
                          "f 1 2 3\nf 1 3 4\nf 1 2 5\nf 2 5 3\n";
  render::RenderRequest request;
  request.scenePath = model.string();
  request.width = 20;
  request.height = 20;
  request.stats = true;
  request.output = (folder / "drops.png").string();
  std::string error;
  ASSERT_EQ(Run(request, &error), 0) << error;
  EXPECT_EQ(error, "warning: welding dropped 2 polygons left with fewer than three distinct corners (drops: 2)\n");
  EXPECT_NE(stats.find("4 polygons, 2 dropped"), std::string::npos) << stats;
}

TEST_F(RenderModel, ShaderOptionsAreForModelsOnly) {
  render::RenderRequest request;
  request.scenePath = std::string(TESSALINE_ASSETS) + "/../../render/scenes/softedge_edges.json";
  request.softEdge = 0.1;
  std::string error;
  EXPECT_EQ(Run(request, &error), 1);
  EXPECT_EQ(
      error,
      "error: --soft-edge, --soft-edge-rays, --draw-edge, --print-scene and --up are for model files, not scenes\n");
}

}  // namespace
}  // namespace tess::test
