#include "hostapp/scene/model_scene.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>

#include "hostapp/assets/isolated_import.h"
#include "hostapp/assets/model_import.h"
#include "hostapp/scene/mesh_file.h"
#include "hostapp/assets/obj_reader.h"
#include "hostapp/assets/vec.h"
#include "hostapp/assets/weld.h"
#include "hostapp/scene/model_edges.h"

namespace tess::render {
namespace {

namespace fs = std::filesystem;

struct Box {
  Vec lo{HUGE_VAL, HUGE_VAL, HUGE_VAL};
  Vec hi{-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
  void Add(const Vec& p) {
    lo = {std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z)};
    hi = {std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z)};
  }
  double Diagonal() const { return lo.x <= hi.x ? Length(hi - lo) : 0.0; }
  Vec Centre() const { return (lo + hi) * 0.5; }
};

// NOLINTNEXTLINE(bugprone-exception-escape): its moves move a Json, which does not throw
struct Part {
  std::string name;
  Json node;  // null: the whole file
  bool children = true;
};

// Values the scene states to about four digits of the model's size, so that
// the printed scene reads well; the render uses the same rounded values.
struct Rounding {
  double quantum;
  explicit Rounding(double size) : quantum(std::pow(10.0, std::floor(std::log10(size)) - 3.0)) {}
  double operator()(double v) const {
    const double r = std::round(v / quantum) * quantum;
    // Printed with the quantum's digits: 0.0123 rather than 0.012300000000000001.
    char text[64];
    const int digits = std::max(0, static_cast<int>(-std::floor(std::log10(quantum))));
    std::snprintf(text, sizeof text, "%.*f", digits, r);
    return std::strtod(text, nullptr);
  }
  Json operator()(const Vec& v) const { return Json::array({(*this)(v.x), (*this)(v.y), (*this)(v.z)}); }
};

}  // namespace

// Relative when the model lies inside the scene's folder or was given
// relative (a project moved as a whole keeps working); an absolute path to
// elsewhere stays absolute (the scene can move without the model). Relative
// paths come from the resolved folders, so that a link on the way cannot send
// ".." to another parent than the one the system will take.
std::string ModelPathInScene(const std::string& model, const std::string& folder) {
  const fs::path given = fs::path(model).lexically_normal();
  const fs::path absolute = fs::absolute(model).lexically_normal();
  if (folder.empty()) return absolute.generic_string();
  std::error_code ec;
  const fs::path from = fs::weakly_canonical(fs::absolute(folder), ec);
  const fs::path to = ec ? absolute : fs::weakly_canonical(absolute, ec);
  const fs::path relative = ec ? fs::path() : to.lexically_relative(from);
  const bool inside = !relative.empty() && *relative.begin() != "..";
  if (relative.empty() || (given.is_absolute() && !inside)) return absolute.generic_string();
  return relative.generic_string();
}

namespace {

// The mesh nodes of a model read through Assimp, their bounding box and
// their meshes.
std::string AssimpParts(const std::string& path, std::optional<assets::UpAxis> up, std::vector<Part>& parts, Box& box,
                        std::vector<assets::PolygonMesh>& meshes) {
  const assets::ModelResult read = assets::LoadModel(path, up);
  if (read.model == nullptr) return read.error;
  const auto& nodes = read.model->nodes;
  std::map<std::string, int> named;
  for (const auto& node : nodes) ++named[node.name];
  // Whether any node below each one holds polygons, in one pass from the
  // leaves up (children come after their parent): linear however deep the
  // tree is.
  std::vector<char> below(nodes.size(), 0);
  for (size_t i = nodes.size(); i-- > 1;) {
    const auto parent = static_cast<size_t>(nodes[i].parent);
    below[parent] = static_cast<char>(below[parent] || below[i] || !nodes[i].view.polygons.empty());
  }
  for (size_t i = 0; i < nodes.size(); ++i) {
    if (nodes[i].view.polygons.empty()) continue;
    for (const HostVector& p : nodes[i].view.points) box.Add(p);
    meshes.push_back(assets::PolygonMesh{{nodes[i].view.points.begin(), nodes[i].view.points.end()},
                                         {nodes[i].view.polygons.begin(), nodes[i].view.polygons.end()}});
    Part part;
    const bool unique = !nodes[i].name.empty() && named[nodes[i].name] == 1;
    part.name = nodes[i].name.empty() ? "node " + std::to_string(i) : nodes[i].name;
    part.node = unique ? Json(nodes[i].name) : Json(static_cast<int>(i));
    part.children = below[i] == 0;
    parts.push_back(part);
  }
  if (parts.size() == 1) parts[0] = Part{fs::path(path).stem().string(), nullptr, true};
  return {};
}

// Both shaders act on the model's features: edges from its feature angle
// up to 180°, so that panels meeting at any angle beyond a right one are
// rounded and drawn too, while the edges of its smooth surfaces, and the
// diagonals of flat triangulated faces, stay untouched.
Json Material(const ModelSceneOptions& options, const EdgeDefaults& edges, const Rounding& round) {
  Json material = {{"color", Json::array({0.8, 0.8, 0.8})}};
  const auto angle = static_cast<int>(edges.featureAngle);  // whole degrees
  if (options.softEdgeRays) {
    material["normal"] = {
        {"shader", "SoftEdge"},
        {"params", {{"SOFTEDGE_METHOD", "SOFTEDGE_METHOD_SAMPLING"}, {"SOFTEDGE_RADIUS", *options.softEdgeRays}}}};
  } else if (options.softEdge || !options.drawEdge) {
    const double radius = options.softEdge ? *options.softEdge : round(edges.radius);
    material["normal"] = {
        {"shader", "SoftEdge"},
        {"params", {{"SOFTEDGE_RADIUS", radius}, {"SOFTEDGE_ANGLE_MIN", angle}, {"SOFTEDGE_ANGLE_MAX", 180}}}};
  }
  if (options.drawEdge)
    material["color"] = {
        {"shader", "DrawEdge"},
        {"params",
         {{"DRAWEDGE_WIDTH", *options.drawEdge}, {"DRAWEDGE_ANGLE_MIN", angle}, {"DRAWEDGE_ANGLE_MAX", 180}}}};
  return material;
}

// What a thing is comes first; the rest in the library's (alphabetical) order.
std::vector<std::string> Keys(const Json& j) {
  std::vector<std::string> keys;
  for (const char* head : {"name", "type", "shader", "file", "node", "primitive"})
    if (j.contains(head)) keys.emplace_back(head);
  for (const auto& item : j.items())
    if (std::find(keys.begin(), keys.end(), item.key()) == keys.end()) keys.push_back(item.key());
  return keys;
}

std::string Inline(const Json& j) {
  std::string out;
  if (j.is_object()) {
    for (const std::string& key : Keys(j)) out += (out.empty() ? "{" : ", ") + Json(key).dump() + ": " + Inline(j[key]);
    return out.empty() ? "{}" : out + "}";
  }
  if (j.is_array()) {
    for (const Json& item : j) out += (out.empty() ? "[" : ", ") + Inline(item);
    return out.empty() ? "[]" : out + "]";
  }
  return j.dump();
}

// Objects and arrays on one line while that stays short, else one member a line.
void Write(const Json& j, int indent, std::string& out) {
  const std::string line = Inline(j);
  if (line.size() + static_cast<size_t>(indent) <= 110 || !(j.is_object() || j.is_array())) {
    out += line;
    return;
  }
  const std::string pad(static_cast<size_t>(indent), ' ');
  if (j.is_object()) {
    const std::vector<std::string> keys = Keys(j);
    for (size_t i = 0; i < keys.size(); ++i) {
      out += std::string(i == 0 ? "{" : ",") + "\n" + pad + "  " + Json(keys[i]).dump() + ": ";
      Write(j[keys[i]], indent + 2, out);
    }
    out += "\n" + pad + "}";
  } else {
    for (size_t i = 0; i < j.size(); ++i) {
      out += std::string(i == 0 ? "[" : ",") + "\n" + pad + "  ";
      Write(j[i], indent + 2, out);
    }
    out += "\n" + pad + "]";
  }
}

}  // namespace

bool IsSceneFile(const std::string& path) {
  std::string extension = fs::path(path).extension().string();
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return extension == ".json";
}

ModelScene MakeModelScene(const std::string& modelPath, const ModelSceneOptions& options) {
  std::vector<Part> parts;
  Box box;
  std::vector<assets::PolygonMesh> meshes;
  if (IsObjFile(modelPath)) {
    MeshResult read = ReadObj(modelPath);
    if (!read.ok()) return {nullptr, read.error};
    assets::TurnPoints(read.mesh.points, options.up.value_or(assets::UpAxis::Y));
    if (read.mesh.polygons.empty()) return {nullptr, modelPath + ": the file has no polygons"};
    for (const HostVector& p : read.mesh.points) box.Add(p);
    meshes.push_back(assets::PolygonMesh{read.mesh.points, read.mesh.polygons});
    parts.push_back(Part{fs::path(modelPath).stem().string(), nullptr, true});
  } else {
    const std::string error = AssimpParts(modelPath, options.up, parts, box, meshes);
    if (!error.empty()) return {nullptr, error};
  }
  const double diagonal = box.Diagonal();
  if (!(diagonal > 0.0) || !std::isfinite(diagonal))
    return {nullptr, modelPath + ": the model has no extent (all its points lie at one place)"};
  const Rounding round(diagonal);
  const Vec centre = box.Centre();
  // Welded as the scene reader will weld them, so that polygons find their
  // neighbours across the edges the defaults are measured on.
  for (assets::PolygonMesh& mesh : meshes) assets::Weld(mesh, assets::RelativeWeldDistance(mesh.points));

  // A three-quarter view from the front right, above: the bounding sphere
  // fits the narrower of the two fields of view, with a little margin.
  const double fov = 40.0;
  const double aspect = static_cast<double>(options.width) / options.height;
  const double halfV = fov * 3.141592653589793 / 360.0;
  const double halfNarrow = std::min(halfV, std::atan(std::tan(halfV) * aspect));
  const double distance = 1.1 * (diagonal / 2.0) / std::sin(halfNarrow);
  const Vec view = Normalize(Vec{0.55, 0.45, 0.75});

  Json scene;
  scene["camera"] = {{"position", round(centre + view * distance)}, {"target", round(centre)}, {"fov", fov}};
  scene["image"] = {{"width", options.width}, {"height", options.height}, {"samples", options.samples}};
  // The key light falls on the three faces the camera sees at three
  // different angles, so that the edges between them show.
  scene["lights"] = Json::array({{{"type", "distant"}, {"direction", {-0.15, -0.9, -0.45}}, {"intensity", 0.9}},
                                 {{"type", "ambient"}, {"color", {0.25, 0.25, 0.27}}}});
  Json objects = Json::array();
  objects.push_back({{"name", "ground"},
                     {"mesh", {{"primitive", "plane"}, {"size", round(6.0 * diagonal)}}},
                     {"position", round(Vec{centre.x, box.lo.y - 0.001 * diagonal, centre.z})},
                     {"material", {{"color", {0.5, 0.5, 0.52}}, {"specular", 0}}}});
  std::set<std::string> names{"ground"};
  const std::string file = ModelPathInScene(modelPath, options.sceneFolder);
  const Json material = Material(options, ChooseEdgeDefaults(meshes, diagonal), round);
  for (const Part& part : parts) {
    std::string name = part.name.empty() ? "model" : part.name;
    for (int n = 2; names.count(name) > 0; ++n) name = part.name + " " + std::to_string(n);
    names.insert(name);
    Json mesh = {{"file", file}};
    if (!part.node.is_null()) mesh["node"] = part.node;
    if (!part.children) mesh["children"] = false;
    if (options.up) mesh["up"] = assets::UpAxisName(*options.up);
    objects.push_back({{"name", name}, {"mesh", mesh}, {"material", material}});
  }
  scene["objects"] = objects;
  return {scene, {}};
}

std::string SceneText(const Json& scene) {
  std::string out;
  Write(scene, 0, out);
  return out + "\n";
}

}  // namespace tess::render
