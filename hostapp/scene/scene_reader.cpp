#include "hostapp/scene/scene_reader.h"

#include <filesystem>

#include "hostapp/scene/json_access.h"
#include "hostapp/scene/json_limits.h"
#include "hostapp/scene/mesh_file.h"
#include "hostapp/scene/primitives.h"
#include "hostapp/scene/shader_reader.h"
#include "hostapp/scene/transform.h"
#include "hostapp/assets/import_cache.h"
#include "hostapp/resources/input_file.h"

namespace tess::render {
namespace {

namespace fs = std::filesystem;

CameraSetup ReadCamera(const Json& j, const std::string& path) {
  CheckKeys(j, path, {"position", "target", "up", "fov"});
  CameraSetup c;
  c.position = Optional(j, path, "position", c.position, ReadVec);
  c.target = Optional(j, path, "target", c.target, ReadVec);
  c.up = Optional(j, path, "up", c.up, ReadVec);
  c.fov = Optional(j, path, "fov", c.fov, ReadNumber);
  if (c.fov <= 0.0 || c.fov >= 180.0) throw JsonError(Member(path, "fov"), "expected degrees between 0 and 180");
  return c;
}

ImageSetup ReadImage(const Json& j, const std::string& path) {
  CheckKeys(j, path, {"width", "height", "samples", "background"});
  ImageSetup s;
  const auto size = [](const Json& v, const std::string& p) { return ReadInt(v, p, 1, 16384); };
  s.width = Optional(j, path, "width", s.width, size);
  s.height = Optional(j, path, "height", s.height, size);
  s.samples = Optional(j, path, "samples", s.samples,
                       [](const Json& v, const std::string& p) { return ReadInt(v, p, 1, 1024); });
  s.background = Optional(j, path, "background", s.background, ReadVec);
  return s;
}

LightSetup ReadLight(const Json& j, const std::string& path) {
  RequireObject(j, path);
  const std::string type = j.contains("type") ? ReadString(j["type"], Member(path, "type")) : "";
  LightSetup light;
  if (type == "distant") {
    CheckKeys(j, path, {"type", "direction", "color", "intensity"});
    light.type = LightSetup::Type::Distant;
    light.direction = Optional(j, path, "direction", light.direction, ReadVec);
  } else if (type == "point") {
    CheckKeys(j, path, {"type", "position", "color", "intensity"});
    light.type = LightSetup::Type::Point;
    light.position = Optional(j, path, "position", light.position, ReadVec);
  } else if (type == "ambient") {
    CheckKeys(j, path, {"type", "color", "intensity"});
    light.type = LightSetup::Type::Ambient;
  } else {
    throw JsonError(Member(path, "type"), R"(expected "distant", "point" or "ambient")");
  }
  light.color = Optional(j, path, "color", light.color, ReadVec);
  light.intensity = Optional(j, path, "intensity", light.intensity, ReadNumber);
  return light;
}

std::vector<LightSetup> DefaultLights() {
  LightSetup key;
  key.direction = {-1, -2, -1};
  LightSetup ambient;
  ambient.type = LightSetup::Type::Ambient;
  ambient.color = {0.2, 0.2, 0.2};
  return {key, ambient};
}

// Points [[x, y, z], ...] and polygons [[a, b, c], [a, b, c, d], ...] written
// out in the scene.
Mesh ReadInlineMesh(const Json& j, const std::string& path) {
  Mesh mesh;
  const Json& points = j["points"];
  const Json& polygons = j.contains("polygons") ? j["polygons"] : Json::array();
  if (!points.is_array()) throw JsonError(Member(path, "points"), "expected an array of points");
  if (!polygons.is_array()) throw JsonError(Member(path, "polygons"), "expected an array of polygons");
  for (size_t i = 0; i < points.size(); ++i) mesh.points.push_back(ReadVec(points[i], Item(Member(path, "points"), i)));
  const int count = static_cast<int>(mesh.points.size());
  for (size_t i = 0; i < polygons.size(); ++i) {
    const std::string at = Item(Member(path, "polygons"), i);
    const Json& p = polygons[i];
    if (!p.is_array() || p.size() < 3 || p.size() > 4) throw JsonError(at, "expected 3 or 4 point indices");
    int32_t c[4];
    for (size_t k = 0; k < p.size(); ++k) c[k] = ReadInt(p[k], Item(at, k), 0, count - 1);
    mesh.polygons.push_back({c[0], c[1], c[2], p.size() == 4 ? c[3] : c[2]});
  }
  return mesh;
}

Mesh ReadMesh(const Json& j, const std::string& path, const fs::path& folder, std::optional<MeshFileReport>& report) {
  CheckKeys(j, path, {"file", "node", "children", "weld", "up", "primitive", "size", "segments", "points", "polygons"});
  if (j.contains("file")) return ReadFileMesh(j, path, folder.string(), report);
  for (const char* key : {"node", "children", "weld", "up"})
    if (j.contains(key)) throw JsonError(Member(path, key), "only with \"file\"");
  if (j.contains("points")) return ReadInlineMesh(j, path);
  if (!j.contains("primitive")) throw JsonError(path, R"(expected "file", "primitive" or "points")");
  const std::string name = ReadString(j["primitive"], Member(path, "primitive"));
  const double size = Optional(j, path, "size", 2.0, ReadNumber);
  const int segments =
      Optional(j, path, "segments", 0, [](const Json& v, const std::string& p) { return ReadInt(v, p, 1, 4096); });
  auto mesh = MakePrimitive(name, size, segments);
  if (!mesh)
    throw JsonError(Member(path, "primitive"), "unknown primitive \"" + name + "\" (" + PrimitiveNames() + ")");
  return std::move(*mesh);
}

Material ReadMaterial(const Json& j, const std::string& path, Scene& scene) {
  CheckKeys(j, path, {"color", "bump", "normal", "specular", "shininess"});
  Material m;
  m.color =
      ReadChannel(j.contains("color") ? j["color"] : Json::array({0.8, 0.8, 0.8}), Member(path, "color"), scene, false);
  if (j.contains("bump")) m.bump = ReadChannel(j["bump"], Member(path, "bump"), scene, true);
  if (j.contains("normal")) m.normal = ReadChannel(j["normal"], Member(path, "normal"), scene, true);
  m.specular = Optional(j, path, "specular", m.specular, ReadNumber);
  m.shininess = Optional(j, path, "shininess", m.shininess, ReadNumber);
  return m;
}

void ReadTag(const Json& j, const std::string& path, SceneObject& object) {
  CheckKeys(j, path, {"type", "name", "edges"});
  const std::string type = j.contains("type") ? ReadString(j["type"], Member(path, "type")) : "";
  if (type != "edge_selection") throw JsonError(Member(path, "type"), "expected \"edge_selection\"");
  const std::string name = Optional(j, path, "name", std::string("tessaline"), ReadString);
  const Json& edges = j.contains("edges") ? j["edges"] : Json::array();
  if (!edges.is_array()) throw JsonError(Member(path, "edges"), "expected [[polygon, side], ...]");
  const int polygons = static_cast<int>(object.mesh.polygons.size());
  std::vector<int32_t> numbers;
  for (size_t i = 0; i < edges.size(); ++i) {
    const std::string at = Item(Member(path, "edges"), i);
    if (!edges[i].is_array() || edges[i].size() != 2) throw JsonError(at, "expected [polygon, side]");
    const int polygon = ReadInt(edges[i][0], Item(at, 0), 0, polygons - 1);
    const int side = ReadInt(edges[i][1], Item(at, 1), 0, 3);
    numbers.push_back(4 * polygon + side);
  }
  object.host->AddEdgeSelection(name, std::move(numbers));
}

SceneObject ReadObject(const Json& j, const std::string& path, const fs::path& folder, Scene& scene) {
  CheckKeys(j, path, {"name", "mesh", "position", "rotation", "scale", "smooth", "material", "tags"});
  SceneObject object;
  object.name = Optional(j, path, "name", std::string(), ReadString);
  if (!j.contains("mesh")) throw JsonError(path, "an object needs a mesh");
  object.mesh = ReadMesh(j["mesh"], Member(path, "mesh"), folder, object.meshFile);
  Placement placement;
  placement.position = Optional(j, path, "position", placement.position, ReadVec);
  placement.rotation = Optional(j, path, "rotation", placement.rotation, ReadVec);
  placement.scale = Optional(j, path, "scale", placement.scale, ReadVec);
  for (HostVector& p : object.mesh.points) p = Place(placement, p);
  object.smooth = Optional(j, path, "smooth", false, ReadBool);
  object.material =
      ReadMaterial(j.contains("material") ? j["material"] : Json::object(), Member(path, "material"), scene);
  object.host = std::make_unique<HostObject>();
  object.host->name = object.name;
  if (j.contains("tags")) {
    const Json& tags = j["tags"];
    if (!tags.is_array()) throw JsonError(Member(path, "tags"), "expected an array of tags");
    for (size_t i = 0; i < tags.size(); ++i) ReadTag(tags[i], Item(Member(path, "tags"), i), object);
  }
  return object;
}

void ReadDocument(const Json& doc, const fs::path& folder, Scene& scene) {
  CheckKeys(doc, "", {"camera", "image", "lights", "objects"});
  if (doc.contains("camera")) scene.camera = ReadCamera(doc["camera"], "camera");
  if (doc.contains("image")) scene.image = ReadImage(doc["image"], "image");
  if (doc.contains("lights")) {
    const Json& lights = doc["lights"];
    if (!lights.is_array()) throw JsonError("lights", "expected an array of lights");
    for (size_t i = 0; i < lights.size(); ++i) scene.lights.push_back(ReadLight(lights[i], Item("lights", i)));
  } else {
    scene.lights = DefaultLights();
  }
  const Json& objects = doc.contains("objects") ? doc["objects"] : Json::array();
  if (!objects.is_array()) throw JsonError("objects", "expected an array of objects");
  for (size_t i = 0; i < objects.size(); ++i) {
    scene.objects.push_back(ReadObject(objects[i], Item("objects", i), folder, scene));
    if (scene.objects.back().name.empty()) scene.objects.back().name = "object" + std::to_string(i);
  }
}

// nlohmann reports a byte offset; people look for lines.
std::string LineOf(const std::string& text, size_t byte) {
  size_t line = 1;
  for (size_t i = 0; i < byte && i < text.size(); ++i) line += text[i] == '\n' ? 1 : 0;
  return std::to_string(line);
}

std::string SyntaxReason(const std::string& what) {
  const auto colon = what.rfind(": ");
  return colon == std::string::npos ? what : what.substr(colon + 2);
}

SceneResult ReadSceneOrFail(const std::string& text, const std::string& folder, const std::string& label) {
  SceneResult result;
  result.error = CheckJsonDepth(text, label);
  if (!result.error.empty()) return result;
  Json doc;
  try {
    doc = Json::parse(text);
  } catch (const Json::parse_error& e) {
    result.error =
        label + ":" + LineOf(text, e.byte > 0 ? e.byte - 1 : 0) + ": malformed JSON: " + SyntaxReason(e.what());
    return result;
  } catch (const Json::exception& e) {
    // A number too large for a double is refused after the syntax was read;
    // the message starts with the library's exception name.
    const std::string what = e.what();
    const size_t name = what.find("] ");
    result.error = label + ": malformed JSON: " + (name == std::string::npos ? what : what.substr(name + 2));
    return result;
  }
  auto scene = std::make_unique<Scene>();
  try {
    ReadDocument(doc, folder, *scene);
  } catch (const JsonError& e) {
    result.error = label + ": " + e.what();
    return result;
  } catch (const std::bad_alloc&) {
    result.error = label + ": not enough memory for the scene's meshes";
    return result;
  } catch (const std::exception& e) {
    result.error = e.what();
    return result;
  }
  result.scene = std::move(scene);
  return result;
}

}  // namespace

SceneResult ReadSceneText(const std::string& text, const std::string& folder, const std::string& label) {
  // Keys, names and the parser's excerpts quote the file: one line whatever they hold.
  SceneResult result = ReadSceneOrFail(text, folder, label);
  assets::ForgetLastImport();  // the objects hold their meshes now
  result.error = Printable(result.error);
  return result;
}

SceneResult ReadSceneFile(const std::string& path) {
  std::string text, error;
  if (!resources::ReadInputFile(path, resources::maxTextInputBytes, text, error))
    return SceneResult{nullptr, Printable(error)};
  return ReadSceneText(text, fs::absolute(path).parent_path().string(), path);
}

}  // namespace tess::render
