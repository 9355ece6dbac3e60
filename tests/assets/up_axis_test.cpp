// Up axes: formats that state none stand by their field's custom, the file's
// own statement where there is one, and the scene's "up" or render's --up
// over both.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>

#include "hostapp/assets/model_import.h"
#include "hostapp/scene/mesh_file.h"
#include "hostapp/scene/model_scene.h"
#include "tests/assets/asset_text.h"

namespace tess::render {
namespace {

const std::string data = TESSALINE_ASSETS;

struct Extent {
  HostVector lo{1e300, 1e300, 1e300}, hi{-1e300, -1e300, -1e300};
};

Extent Bounds(const std::vector<HostVector>& points) {
  Extent e;
  for (const HostVector& p : points) {
    e.lo = {std::min(e.lo.x, p.x), std::min(e.lo.y, p.y), std::min(e.lo.z, p.z)};
    e.hi = {std::max(e.hi.x, p.x), std::max(e.hi.y, p.y), std::max(e.hi.z, p.z)};
  }
  return e;
}

MeshFileResult Read(const std::string& file, std::optional<assets::UpAxis> up = std::nullopt) {
  MeshFileRequest request;
  request.path = data + "/" + file;
  request.up = up;
  return ReadMeshFile(request);
}

// The spikes are three units long along the axis their format stands up and
// one unit across: they stand along y in the scene, tip up.
TEST(UpAxis, FormatsThatStateNoneStandByTheirFieldsCustom) {
  for (const char* file : {"spike_z.stl", "spike_z.ply", "spike_z.off", "spike_y.obj"}) {
    SCOPED_TRACE(file);
    const MeshFileResult r = Read(file);
    ASSERT_TRUE(r.ok()) << r.error;
    const Extent e = Bounds(r.mesh.points);
    EXPECT_NEAR(e.hi.y, 3.0, 1e-6);
    EXPECT_NEAR(e.lo.y, 0.0, 1e-6);
    EXPECT_NEAR(e.hi.x - e.lo.x, 1.0, 1e-6);
    EXPECT_NEAR(e.hi.z - e.lo.z, 1.0, 1e-6);
    EXPECT_EQ(r.report.frame, std::string(file).find("_z") != std::string::npos ? "z up turned to y up" : "");
  }
  // glTF is y up by definition.
  const assets::ModelResult gltf = assets::ReadModel(data + "/cube.gltf");
  ASSERT_NE(gltf.model, nullptr) << gltf.error;
  EXPECT_EQ(gltf.model->frame, "");
}

TEST(UpAxis, TheUsersUpAxisStandsInsteadOfTheFormatsCustom) {
  // z up stated of an OBJ: its y tip goes to -z, (x, y, z) to (x, z, -y).
  const MeshFileResult obj = Read("spike_y.obj", assets::UpAxis::Z);
  ASSERT_TRUE(obj.ok()) << obj.error;
  EXPECT_NEAR(Bounds(obj.mesh.points).lo.z, -3.0, 1e-6);
  EXPECT_NEAR(Bounds(obj.mesh.points).lo.y, -1.0, 1e-6);
  EXPECT_EQ(obj.report.frame, "z up turned to y up");
  // y up stated of an STL: taken as it is, the tip stays at z = 3.
  const MeshFileResult stl = Read("spike_z.stl", assets::UpAxis::Y);
  ASSERT_TRUE(stl.ok()) << stl.error;
  EXPECT_NEAR(Bounds(stl.mesh.points).hi.z, 3.0, 1e-6);
  EXPECT_EQ(stl.report.frame, "");
  // Read with the custom first and then otherwise: the last read is not reused.
  ASSERT_TRUE(Read("spike_z.ply").ok());
  const MeshFileResult ply = Read("spike_z.ply", assets::UpAxis::NegX);
  ASSERT_TRUE(ply.ok()) << ply.error;
  EXPECT_FALSE(ply.report.reused);
  EXPECT_NEAR(Bounds(ply.mesh.points).lo.y, -1.0, 1e-6) << "-x up: (x, y, z) to (y, -x, z)";
  EXPECT_NEAR(Bounds(ply.mesh.points).hi.z, 3.0, 1e-6);
}

TEST(UpAxis, TheUsersUpAxisStandsInsteadOfWhatTheFileStates) {
  // A COLLADA file that states z up, read as y up: its points as written.
  const std::string dae = test::Replace(test::Text(data + "/cube.dae"), "Y_UP", "Z_UP");
  const std::string path = testing::TempDir() + "/tessaline-up-zup.dae";
  std::ofstream(path, std::ios::binary) << dae;
  const assets::ModelResult stated = assets::ReadModel(path);
  const assets::ModelResult asWritten = assets::ReadModel(path, assets::UpAxis::Y);
  ASSERT_NE(stated.model, nullptr) << stated.error;
  ASSERT_NE(asWritten.model, nullptr) << asWritten.error;
  // The first point of the exported cube is (-1, -1, -1).
  const HostVector s = stated.model->nodes[1].mesh.points[0], w = asWritten.model->nodes[1].mesh.points[0];
  EXPECT_NEAR(s.z, 1.0, 1e-6) << "z up turned: (x, y, z) to (x, z, -y)";
  EXPECT_NEAR(w.z, -1.0, 1e-6);
  // An FBX file states y up; read as x up its x axis turns to y.
  const assets::ModelResult fbx = assets::ReadModel(data + "/cube.fbx", assets::UpAxis::X);
  ASSERT_NE(fbx.model, nullptr) << fbx.error;
  EXPECT_EQ(fbx.model->frame, "x up turned to y up");
}

TEST(UpAxis, EveryTurnBringsItsAxisUpAndKeepsTheWinding) {
  const std::pair<assets::UpAxis, HostVector> axes[] = {
      {assets::UpAxis::X, {1, 0, 0}},     {assets::UpAxis::Y, {0, 1, 0}},     {assets::UpAxis::Z, {0, 0, 1}},
      {assets::UpAxis::NegX, {-1, 0, 0}}, {assets::UpAxis::NegY, {0, -1, 0}}, {assets::UpAxis::NegZ, {0, 0, -1}}};
  for (const auto& [up, axis] : axes) {
    const assets::Turn t = assets::TurnToYUp(up);
    const HostVector turned = t.Apply(axis);
    EXPECT_EQ(turned.x, 0.0);
    EXPECT_EQ(turned.y, 1.0) << assets::UpAxisName(up);
    EXPECT_EQ(turned.z, 0.0);
    const auto& m = t.m;
    const double det = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
                       m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
                       m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
    EXPECT_EQ(det, 1.0) << "a turn, not a mirror";
    EXPECT_EQ(assets::ParseUpAxis(assets::UpAxisName(up)), up);
  }
}

TEST(UpAxis, CadPrintingAndBlenderFormatsStandZUpTheRestYUp) {
  for (const char* z : {".stl", ".PLY", ".off", ".3mf", ".amf", ".blend"})
    EXPECT_EQ(assets::ConventionalUp(z), assets::UpAxis::Z) << z;
  for (const char* y : {".obj", ".gltf", ".glb", ".3ds", ".x", ""})
    EXPECT_EQ(assets::ConventionalUp(y), assets::UpAxis::Y) << y;
}

TEST(UpAxis, TheScenesUpKeyTurnsTheFileAndAnythingElseIsAnError) {
  std::optional<MeshFileReport> report;
  const Mesh turned = ReadFileMesh(Json{{"file", "spike_y.obj"}, {"up", "-z"}}, "objects[1].mesh", data, report);
  EXPECT_NEAR(Bounds(turned.points).hi.z, 3.0, 1e-6) << "-z up: (x, y, z) to (x, -z, y)";
  for (const Json& bad : {Json("up"), Json("Z"), Json(2), Json(nullptr)}) {
    try {
      ReadFileMesh(Json{{"file", "spike_y.obj"}, {"up", bad}}, "objects[1].mesh", data, report);
      ADD_FAILURE() << bad.dump() << " was taken";
    } catch (const JsonError& e) {
      EXPECT_STREQ(e.what(), "objects[1].mesh.up: expected the file's up axis: x, y, z, -x, -y or -z");
    }
  }
}

TEST(UpAxis, TheSceneMadeForAModelStatesTheUpAxisGiven) {
  ModelSceneOptions options;
  const ModelScene plain = MakeModelScene(data + "/spike_z.stl", options);
  ASSERT_TRUE(plain.error.empty()) << plain.error;
  EXPECT_FALSE(plain.scene["objects"][1]["mesh"].contains("up"));
  // Standing, the spike is framed around half its height.
  EXPECT_NEAR(plain.scene["camera"]["target"][1].get<double>(), 1.5, 1e-3);
  options.up = assets::UpAxis::Y;
  const ModelScene lying = MakeModelScene(data + "/spike_z.stl", options);
  ASSERT_TRUE(lying.error.empty()) << lying.error;
  EXPECT_EQ(lying.scene["objects"][1]["mesh"]["up"], "y");
  EXPECT_NEAR(lying.scene["camera"]["target"][1].get<double>(), 0.5, 1e-3);
  EXPECT_NEAR(lying.scene["camera"]["target"][2].get<double>(), 1.5, 1e-3);
}

}  // namespace
}  // namespace tess::render
