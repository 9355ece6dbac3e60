// Scene files: what they set in the shader nodes, and one clear line for
// every kind of bad input.
#include <cmath>

#include "hostapp/services/gradient.h"
#include "hostapp/services/spline.h"
#include "render_fixture.h"

namespace tess::test {
namespace {

const HostContainer& Params(const render::Scene& scene, size_t object,
                            const render::Channel render::Material::*channel) {
  return (scene.objects[object].material.*channel).shader->container;
}

TEST_F(RenderTest, SceneParametersReachTheNodesInTheirOwnUnits) {
  WriteFile("tri.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
  const render::Scene& scene = Read(R"({"objects": [
    {"name": "box", "mesh": {"primitive": "cube", "size": 2}, "rotation": [0, 90, 0],
     "material": {"normal": {"shader": "SoftEdge", "strength": 0.5, "params": {"SOFTEDGE_RADIUS": 0.2, "SOFTEDGE_ANGLE_MIN": 30,
       "SOFTEDGE_METHOD": "SOFTEDGE_METHOD_SAMPLING", "SOFTEDGE_PROFILE": [[0, 1], [1, 0]]}}},
     "tags": [{"type": "edge_selection", "name": "tessaline", "edges": [[0, 1], [2, 3]]}]},
    {"name": "tri", "mesh": {"file": "tri.obj"},
     "material": {"color": {"shader": 1020979, "params": {"DRAWEDGE_GRADIENT": [{"position": 0, "color": [1, 0, 0]},
       {"position": 1, "color": [0, 0, 1], "brightness": 0.5}], "DRAWEDGE_USE_DISTORTION": true,
       "DRAWEDGE_DISTORTION_SHADER": {"shader": "noise", "params": {"scale": 3}}}}}}]})");
  ASSERT_EQ(scene.objects.size(), 2u);
  const HostContainer& soft = Params(scene, 0, &render::Material::normal);
  EXPECT_DOUBLE_EQ(soft.Find(1005)->floatValue, 0.2);
  EXPECT_NEAR(soft.Find(1003)->floatValue, 30 * M_PI / 180, 1e-12);  // degrees in, radians stored
  EXPECT_EQ(soft.Find(1010)->intValue, 1);
  const auto* curve = dynamic_cast<const HostSpline*>(soft.Find(1006)->data.get());
  ASSERT_NE(curve, nullptr);
  EXPECT_DOUBLE_EQ(curve->Evaluate(0.25), 0.75);
  EXPECT_EQ(scene.objects[0].material.normal.strength, 0.5);
  // Rotation by 90 degrees about y takes +x to -z and +z to +x: (1, -1, -1) to (-1, -1, -1).
  EXPECT_NEAR(scene.objects[0].mesh.points[1].x, -1.0, 1e-12);
  EXPECT_NEAR(scene.objects[0].mesh.points[1].z, -1.0, 1e-12);
  const HostTag* tag = scene.objects[0].host->FindTag(HOST_TYPE_EDGE_SELECTION, 0);
  ASSERT_NE(tag, nullptr);
  EXPECT_TRUE(tag->selection->IsSelected(1));
  EXPECT_TRUE(tag->selection->IsSelected(11));

  const HostContainer& draw = Params(scene, 1, &render::Material::color);
  const auto* gradient = dynamic_cast<const HostGradient*>(draw.Find(1016)->data.get());
  ASSERT_NE(gradient, nullptr);
  EXPECT_EQ(gradient->Knots().size(), 2u);
  EXPECT_EQ(gradient->Knots()[1].brightness, 0.5);
  ASSERT_NE(draw.Find(1013), nullptr);
  EXPECT_EQ(dynamic_cast<host::ShaderNode*>(draw.Find(1013)->link)->Name(), "noise");
  const auto fresh = host::PluginNode::Create(*host::Services().registry.Find(1020979, HOST_PLUGINTYPE_SHADER));
  ASSERT_NE(fresh->container.Find(1005), nullptr);
  EXPECT_EQ(draw.Find(1005)->floatValue, fresh->container.Find(1005)->floatValue)
      << "a parameter not given keeps its default";
  EXPECT_EQ(scene.objects[1].mesh.polygons.size(), 1u);
}

TEST_F(RenderTest, SceneDefaultsFillCameraImageAndLights) {
  const render::Scene& scene = Read(R"({"objects": []})");
  EXPECT_EQ(scene.image.width, 640);
  EXPECT_EQ(scene.camera.fov, 40);
  ASSERT_EQ(scene.lights.size(), 2u);
  EXPECT_EQ(scene.lights[1].type, render::LightSetup::Type::Ambient);
}

TEST_F(RenderTest, BadScenesGiveOneLineWithTheJsonPath) {
  WriteFile("nan.obj", "v 0 0 0\nv 1 0 0\nv nan 1 0\nf 1 2 3\n");
  const std::string box = R"({"name": "b", "mesh": {"primitive": "cube"}})";
  const std::pair<std::string, std::string> cases[] = {
      {"{\n\"objects\": [\n,]}", "test.json:3: malformed JSON"},
      // Found by fuzzing: a number too large for a double once escaped the reader.
      {R"({"objects": [{"mesh": {"primitive": "cube", "size": 7E777}}]})",
       "test.json: malformed JSON: number overflow"},
      {R"({"objects": [)" + box + "," + box + "," +
           R"({"mesh": {"primitive": "cube"}, "material": {"normal": {"shader": "SoftEdge", "params": {"SOFTEDGE_RADUS": 1}}}}]})",
       "test.json: objects[2].material.normal.params.SOFTEDGE_RADUS: unknown parameter"},
      {R"({"objects": [{"mesh": {"primitive": "cube"}, "material": {"color": {"shader": "Marble"}}}]})",
       "test.json: objects[0].material.color.shader: unknown shader \"Marble\""},
      {R"({"objects": [{"mesh": {"primitive": "cube"}, "material": {"normal": {"shader": "SoftEdge", "params": {"SOFTEDGE_RADIUS": "big"}}}}]})",
       "test.json: objects[0].material.normal.params.SOFTEDGE_RADIUS: expected a number"},
      {R"({"objects": [{"mesh": {"primitive": "cube"}, "material": {"color": {"shader": "DrawEdge", "params": {"DRAWEDGE_BORDER_EDGES": 1}}}}]})",
       "test.json: objects[0].material.color.params.DRAWEDGE_BORDER_EDGES: expected true or false"},
      {R"({"objects": [{"mesh": {"file": "missing.obj"}}]})", "test.json: objects[0].mesh.file: no such mesh file"},
      {R"({"objects": [{"mesh": {"file": "nan.obj"}}]})", "nan.obj:3: coordinate 'nan' is not finite"},
      {R"({"objects": [{"mesh": {"primitive": "cube"}, "position": [1, 2]}]})",
       "test.json: objects[0].position: expected an array of 3 numbers"},
      {R"({"objects": [{"mesh": {"primitive": "cube"}, "tags": [{"type": "edge_selection", "edges": [[6, 0]]}]}]})",
       "test.json: objects[0].tags[0].edges[0][0]: expected an integer from 0 to 5"},
      {R"({"camera": {"fov": 40, "zoom": 2}})", "test.json: camera.zoom: unknown key"},
      {R"({"objects": [{"name": "x"}]})", "test.json: objects[0]: an object needs a mesh"},
      {R"([1, 2])", "test.json: (top level): expected an object"},
      // Found by fuzzing: a key holding an escaped newline split the message.
      {R"({"camera": {"zo\nom\u0001": 2}})", "test.json: camera.zo\\nom\\x01: unknown key"},
  };
  for (const auto& [text, expected] : cases) {
    const std::string error = ReadError(text);
    EXPECT_NE(error.find(expected), std::string::npos) << "got: " << error;
    EXPECT_EQ(error.find('\n'), std::string::npos);
  }
}

}  // namespace
}  // namespace tess::test
