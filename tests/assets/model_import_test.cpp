// Files through Assimp: node trees and transforms, the node a scene names,
// axes and units, polygons of more than four corners, and files refused.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "hostapp/assets/import_cache.h"
#include "hostapp/assets/model_import.h"
#include "hostapp/scene/mesh_file.h"
#include "tests/assets/asset_text.h"

namespace tess::assets {
namespace {

namespace fs = std::filesystem;
using test::Replace;
using test::Text;

const std::string data = TESSALINE_ASSETS;

// A file in a fresh temporary folder of the test.
std::string Write(const std::string& name, const std::string& text) {
  // CTest runs these tests side by side: a folder each.
  const fs::path folder = fs::temp_directory_path() / ("tessaline-assets-test-" + std::to_string(::getpid())) /
                          ::testing::UnitTest::GetInstance()->current_test_info()->name();
  fs::create_directories(folder);
  const fs::path path = folder / name;
  std::ofstream(path, std::ios::binary) << text;
  return path.string();
}

void ExpectPoint(const HostVector& p, double x, double y, double z) {
  EXPECT_NEAR(p.x, x, 1e-6);
  EXPECT_NEAR(p.y, y, 1e-6);
  EXPECT_NEAR(p.z, z, 1e-6);
}

TEST(ModelImport, NodesAreDepthFirstAndPlaceTheirMeshesByTheirTransforms) {
  const ModelResult r = ReadModel(data + "/nodes.gltf");
  ASSERT_NE(r.model, nullptr) << r.error;
  const auto& nodes = r.model->nodes;
  const char* const names[] = {"ROOT", "Base", "Arm", "Hand", "Mirror", "Empty", "Twin", "Twin"};
  ASSERT_EQ(nodes.size(), 8u);
  for (size_t i = 0; i < nodes.size(); ++i) EXPECT_EQ(nodes[i].name, names[i]);
  EXPECT_EQ(nodes[1].end, 4) << "Base holds Arm and Hand";
  EXPECT_EQ(nodes[2].parent, 1);
  EXPECT_EQ(nodes[3].parent, 2);
  EXPECT_EQ(nodes[0].end, 8);
  EXPECT_TRUE(nodes[0].mesh.points.empty());
  EXPECT_TRUE(nodes[5].mesh.polygons.empty());
  // The square (0 0 0) (1 0 0) (1 1 0) (0 1 0), as Base has it.
  ExpectPoint(nodes[1].mesh.points[2], 1, 1, 0);
  // Arm: turned 90 degrees about y (x to -z), moved by (3, 0, 0).
  ExpectPoint(nodes[2].mesh.points[1], 3, 0, -1);
  // Hand, inside Arm: scaled by 2 and moved up by 2, then Arm's turn and move.
  ExpectPoint(nodes[3].mesh.points[2], 3, 4, -2);
  ExpectPoint(nodes[6].mesh.points[0], 0, 5, 0);
  ExpectPoint(nodes[7].mesh.points[0], 0, 7, 0);
}

// (b - a) x (c - a) of the first polygon.
HostVector Normal(const PolygonMesh& m) {
  const HostPolygon& p = m.polygons[0];
  const HostVector a = m.points[p.a], b = m.points[p.b], c = m.points[p.c];
  const HostVector u{b.x - a.x, b.y - a.y, b.z - a.z}, v{c.x - a.x, c.y - a.y, c.z - a.z};
  return {u.y * v.z - u.z * v.y, u.z * v.x - u.x * v.z, u.x * v.y - u.y * v.x};
}

TEST(ModelImport, AMirroringTransformKeepsPolygonsWoundTheWayTheyFace) {
  const ModelResult r = ReadModel(data + "/nodes.gltf");
  ASSERT_NE(r.model, nullptr) << r.error;
  const PolygonMesh& mirror = r.model->nodes[4].mesh;
  ExpectPoint(mirror.points[1], -1, 0, -3);
  EXPECT_GT(Normal(r.model->nodes[1].mesh).z, 0.0);
  EXPECT_GT(Normal(mirror).z, 0.0) << "mirrored in x, the square still faces +z";
}

TEST(MeshFile, ASceneTakesOneNodeWithOrWithoutItsChildren) {
  render::MeshFileRequest request;
  request.path = data + "/nodes.gltf";
  request.weld.mode = render::WeldSetting::Mode::Off;
  render::MeshFileResult whole = render::ReadMeshFile(request);
  ASSERT_TRUE(whole.ok()) << whole.error;
  EXPECT_EQ(whole.mesh.polygons.size(), 12u) << "six placed squares";

  request.node = "Arm";
  render::MeshFileResult arm = render::ReadMeshFile(request);
  ASSERT_TRUE(arm.ok()) << arm.error;
  EXPECT_EQ(arm.mesh.polygons.size(), 4u) << "Arm and Hand";
  request.children = false;
  arm = render::ReadMeshFile(request);
  ASSERT_EQ(arm.mesh.polygons.size(), 2u);
  EXPECT_NEAR(arm.mesh.points[1].z, -1.0, 1e-6);

  request = {};
  request.path = data + "/nodes.gltf";
  request.nodeNumber = 7;
  const render::MeshFileResult twin = render::ReadMeshFile(request);
  ASSERT_TRUE(twin.ok()) << twin.error;
  EXPECT_NEAR(twin.mesh.points[0].y, 7.0, 1e-6);
  EXPECT_EQ(twin.mesh.points.size(), 4u);
}

TEST(MeshFile, ANodeThatIsNotThereOrIsNoOneNodeIsAnError) {
  render::MeshFileRequest request;
  request.path = data + "/nodes.gltf";
  const std::pair<std::string, std::string> cases[] = {
      {"Hnad", "/nodes.gltf: there is no node named \"Hnad\" (did you mean Hand?)"},
      {"Twin", "/nodes.gltf: 2 nodes are named \"Twin\"; name the node by its number instead"},
      {"Empty", "/nodes.gltf: node \"Empty\" and its children have no polygons"},
  };
  for (const auto& [node, message] : cases) {
    request.node = node;
    const render::MeshFileResult r = render::ReadMeshFile(request);
    EXPECT_NE(r.error.find(message), std::string::npos) << r.error;
  }
  request.node.clear();
  request.nodeNumber = 8;
  EXPECT_NE(render::ReadMeshFile(request).error.find("there is no node 8 (the file has 8 nodes, 0 to 7)"),
            std::string::npos);
  request.path = data + "/cube_quads.obj";
  request.nodeNumber = 0;
  EXPECT_NE(render::ReadMeshFile(request).error.find("an OBJ file is read as one object, without nodes"),
            std::string::npos);
}

TEST(ModelImport, ColladaUpAxisAndUnitAreApplied) {
  // The first point of the exported cube is (-1, -1, -1).
  const ModelResult y = ReadModel(data + "/cube.dae");
  ASSERT_NE(y.model, nullptr) << y.error;
  ExpectPoint(y.model->nodes[1].mesh.points[0], -1, -1, -1);
  const std::string zUp =
      Write("zup.dae", Replace(Replace(Text(data + "/cube.dae"), "Y_UP", "Z_UP"), "meter=\"1\"", "meter=\"0.01\""));
  const ModelResult z = ReadModel(zUp);
  ASSERT_NE(z.model, nullptr) << z.error;
  // z up becomes y up: (x, y, z) to (x, z, -y); centimetres to metres.
  ExpectPoint(z.model->nodes[1].mesh.points[0], -0.01, -0.01, 0.01);
}

TEST(ModelImport, FbxAxesAndUnitAreApplied) {
  const std::string fbx = Text(data + "/cube.fbx");
  const ModelResult metres = ReadModel(data + "/cube.fbx");
  ASSERT_NE(metres.model, nullptr) << metres.error;
  ExpectPoint(metres.model->nodes[1].mesh.points[0], -1, -1, -1);
  EXPECT_EQ(metres.model->frame, "");

  const std::string unit = R"("UnitScaleFactor", "double", "Number", "", 100)";
  const ModelResult cm =
      ReadModel(Write("cm.fbx", Replace(fbx, unit, R"("UnitScaleFactor", "double", "Number", "", 1)")));
  ASSERT_NE(cm.model, nullptr) << cm.error;
  ExpectPoint(cm.model->nodes[1].mesh.points[0], -0.01, -0.01, -0.01);

  // z up, -y to the front (3ds Max's frame): (x, y, z) to (x, z, -y).
  std::string zUp = Replace(fbx, R"("UpAxis", "int", "Integer", "", 1)", R"("UpAxis", "int", "Integer", "", 2)");
  zUp = Replace(zUp, R"("FrontAxis", "int", "Integer", "", 2)", R"("FrontAxis", "int", "Integer", "", 1)");
  zUp = Replace(zUp, R"("FrontAxisSign", "int", "Integer", "", 1)", R"("FrontAxisSign", "int", "Integer", "", -1)");
  const ModelResult z = ReadModel(Write("zup.fbx", zUp));
  ASSERT_NE(z.model, nullptr) << z.error;
  ExpectPoint(z.model->nodes[1].mesh.points[0], -1, -1, 1);
  EXPECT_EQ(z.model->frame, "z up turned to y up");
}

TEST(ModelImport, PolygonsOfMoreThanFourCornersBecomeTrianglesAndQuadsInsideThem) {
  std::string ply =
      "ply\nformat ascii 1.0\nelement vertex 7\nproperty float x\nproperty float y\nproperty float z\n"
      "element face 1\nproperty list uchar int vertex_indices\nend_header\n";
  for (int k = 0; k < 7; ++k)
    ply += std::to_string(std::cos(k * 0.8975979)) + " " + std::to_string(std::sin(k * 0.8975979)) + " 0\n";
  ply += "7 0 1 2 3 4 5 6\n";
  const ModelResult r = ReadModel(Write("heptagon.ply", ply));
  ASSERT_NE(r.model, nullptr) << r.error;
  const PolygonMesh& m = r.model->nodes[0].mesh;
  // Five triangles, some paired into quads. PLY is z up: the heptagon faces
  // +y now; each part faces there too, and together they make its area.
  ASSERT_GE(m.polygons.size(), 3u);
  ASSERT_LE(m.polygons.size(), 5u);
  double area = 0.0;
  for (const HostPolygon& p : m.polygons) {
    const int32_t corners[4] = {p.a, p.b, p.c, p.d};
    const int count = p.c == p.d ? 3 : 4;
    for (int k = 0; k < count; ++k) {
      const HostVector &a = m.points[corners[k]], &b = m.points[corners[(k + 1) % count]];
      area += (a.z * b.x - a.x * b.z) / 2;  // along +y
    }
  }
  EXPECT_NEAR(area, 3.5 * std::sin(0.8975979), 1e-5);
}

TEST(ModelImport, ImportModelReadsAFileOnceWhileItStaysTheSame) {
  const std::string path = Write("again.stl", Text(data + "/cube_binary.stl"));
  const ModelResult first = ImportModel(path);
  ASSERT_NE(first.model, nullptr) << first.error;
  EXPECT_FALSE(first.reused);
  const ModelResult second = ImportModel(path);
  EXPECT_TRUE(second.reused);
  EXPECT_EQ(second.model, first.model);
  // A changed file is read again (a different size: the time may not tell).
  Write("again.stl", Text(data + "/cube_ascii.stl"));
  const ModelResult third = ImportModel(path);
  ASSERT_NE(third.model, nullptr) << third.error;
  EXPECT_FALSE(third.reused);
}

TEST(ModelImport, AForgottenModelIsFreedAndReadAgain) {
  const std::string path = Write("forgotten.stl", Text(data + "/cube_binary.stl"));
  ModelResult first = ImportModel(path);
  ASSERT_NE(first.model, nullptr) << first.error;
  const std::weak_ptr<const Model> kept = first.model;
  first.model.reset();
  EXPECT_FALSE(kept.expired());  // the cache holds it
  ForgetLastImport();
  EXPECT_TRUE(kept.expired());
  const ModelResult second = ImportModel(path);
  EXPECT_FALSE(second.reused);
  EXPECT_NE(second.model, nullptr);
}

TEST(ModelImport, AFileAModelRefersToMustLieInItsFolder) {
  // glTF resolves references against the file's folder: a ".." for each
  // folder above it reaches /.
  const std::string path = Write("zero.gltf", "");
  const std::string gltf =
      Replace(Text(data + "/cube.gltf"), "\"cube.bin\"", "\"" + test::UpToRoot(path) + "dev/zero\"");
  const ModelResult r = ReadModel(Write("zero.gltf", gltf));
  EXPECT_EQ(r.model, nullptr);
  EXPECT_NE(r.error.find("zero.gltf: it refers to /dev/zero, outside the model's folder"), std::string::npos)
      << r.error;
}

}  // namespace
}  // namespace tess::assets
