#include "hostapp/web/preview_scene.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <utility>
#include <filesystem>
#include <iterator>
#include <set>

#include "hostapp/render/camera.h"
#include "hostapp/scene/demo_scene.h"
#include "hostapp/scene/model_scene.h"
#include "hostapp/scene/scene_reader.h"
#include "hostapp/scene/shader_reader.h"
#include "hostapp/resources/input_file.h"
#include "hostapp/services/parameters.h"
#include "hostapp/services/services.h"
#include "hostapp/web/api_error.h"
#include "hostapp/web/shader_json.h"

namespace tess::web {
namespace {

namespace fs = std::filesystem;
using resources::ElementType;

constexpr const char* slotNames[] = {"color", "bump", "normal"};
constexpr double maxStrength = 100.0;

size_t Index(Slot slot) {
  return static_cast<size_t>(slot);
}

std::vector<std::string> PluginShaderNames() {
  std::vector<std::string> names;
  for (const HostPlugin* p : host::Services().registry.Plugins())
    if (p->type == HOST_PLUGINTYPE_SHADER) names.push_back(p->name);
  return names;
}

Json ChannelEntry(const render::Channel& channel, Slot slot) {
  if (channel.shader == nullptr) return {{"shader", "none"}, {"plugin", false}};
  Json entry = {{"shader", channel.shader->Name()},
                {"plugin", dynamic_cast<host::PluginNode*>(channel.shader) != nullptr}};
  if (const auto* constant = dynamic_cast<const host::ConstantShader*>(channel.shader)) {
    entry["shader"] = "constant";
    entry["value"] = ShaderToJson(*constant);
  }
  if (slot != Slot::Color) entry["strength"] = channel.strength;
  return entry;
}

const resources::Element& ParameterOf(const host::PluginNode& node, const std::string& key) {
  const auto description = host::Services().descriptions.Of(node.pluginId);
  const resources::Element* e = nullptr;
  if (description != nullptr) {
    e = description->FindBySymbol(key);
    char* end = nullptr;
    const long id = std::strtol(key.c_str(), &end, 10);
    if (e == nullptr && !key.empty() && *end == '\0' && id >= INT32_MIN && id <= INT32_MAX)
      e = description->FindById(static_cast<int32_t>(id));
  }
  if (e == nullptr || !e->id || e->type == ElementType::Group || e->type == ElementType::Separator)
    throw ApiError(404, render::Printable(key) + ": " + node.Name() + " has no such parameter");
  return *e;
}

bool IsCycleEntry(const resources::Element& e, const Json& value) {
  return std::any_of(e.cycle.begin(), e.cycle.end(), [&value](const resources::SymbolEntry& entry) {
    return value.is_string() ? value.get<std::string>() == entry.symbol
                             : value.is_number_integer() && value.get<int64_t>() == entry.value;
  });
}

// A number, flag or choice the panel would not take, worded for whoever is at
// the panel: the parameter by its label, the range in its unit. Empty for
// values it would take and for the kinds whose errors the scene reader words.
std::string PanelRefusal(const resources::Element& e, const Json& value) {
  switch (e.type) {
    case ElementType::Real:
      return value.is_number() ? host::RangeRefusal(e, value.get<double>()) : host::KindRefusal(e);
    case ElementType::Long:
      if (!e.cycle.empty()) return IsCycleEntry(e, value) ? "" : host::KindRefusal(e);
      return value.is_number_integer() ? host::RangeRefusal(e, value.get<double>()) : host::KindRefusal(e);
    case ElementType::Bool:
      return value.is_boolean() ? "" : host::KindRefusal(e);
    default:
      return "";
  }
}

struct SceneSource {
  std::string text, folder, label, error;
};

// The scene to preview as text: the demo, a scene file, or the scene made
// for a model file, as `render MODEL` makes it.
SceneSource SourceOf(const std::string& path) {
  if (path.empty()) return {render::DemoSceneText(), ".", "demo scene", {}};
  SceneSource source{{}, fs::absolute(path).parent_path().string(), path, {}};
  if (render::IsSceneFile(path)) {
    resources::ReadInputFile(path, resources::maxTextInputBytes, source.text, source.error);
    return source;
  }
  const render::ModelScene made = render::MakeModelScene(path, render::ModelSceneOptions{});
  source.error = made.error;
  if (source.error.empty()) source.text = render::SceneText(made.scene);
  source.label = path + " (the scene made for it)";
  return source;
}

// Mesh files of the saved scene resolve wherever it is saved.
void AbsoluteMeshPaths(Json& objects, const std::string& folder) {
  if (!objects.is_array()) return;
  for (Json& object : objects) {
    Json* mesh = object.is_object() && object.contains("mesh") ? &object["mesh"] : nullptr;
    if (mesh == nullptr || !mesh->is_object() || !mesh->contains("file")) continue;
    const fs::path file = (*mesh)["file"].get<std::string>();
    if (file.is_relative()) (*mesh)["file"] = fs::absolute(fs::path(folder) / file).lexically_normal().string();
  }
}

Json VectorJson(const HostVector& v) {
  return Json::array({v.x, v.y, v.z});
}

// Where an object lies, for framing it; an object without points has none.
Json BoundsJson(const render::Mesh& mesh) {
  if (mesh.points.empty()) return nullptr;
  HostVector low = mesh.points.front(), high = low;
  for (const HostVector& p : mesh.points) {
    low = {std::min(low.x, p.x), std::min(low.y, p.y), std::min(low.z, p.z)};
    high = {std::max(high.x, p.x), std::max(high.y, p.y), std::max(high.z, p.z)};
  }
  return {{"min", VectorJson(low)}, {"max", VectorJson(high)}};
}

}  // namespace

std::unique_ptr<PreviewScene> PreviewScene::Open(const std::string& path, std::string* error) {
  std::unique_ptr<PreviewScene> preview(new PreviewScene);
  const SceneSource source = SourceOf(path);
  if (!source.error.empty()) {
    *error = source.error;
    return nullptr;
  }
  render::SceneResult read = render::ReadSceneText(source.text, source.folder, source.label);
  if (!read.scene) {
    *error = read.error;
    return nullptr;
  }
  preview->scene = std::move(read.scene);
  // The reader took the same bytes, so they parse.
  preview->source = Json::parse(source.text);
  preview->folder = source.folder;
  preview->held.resize(preview->scene->objects.size());
  for (size_t i = 0; i < preview->scene->objects.size(); ++i)
    for (Slot slot : {Slot::Color, Slot::Bump, Slot::Normal}) {
      host::ShaderNode* node = preview->ChannelAt(i, slot).shader;
      const bool plain = node == nullptr || dynamic_cast<host::ConstantShader*>(node) != nullptr;
      preview->held[i][Index(slot)][plain ? "none" : node->Name()] = node;
    }
  return preview;
}

size_t PreviewScene::ObjectIndex(const std::string& text) const {
  size_t used = 0;
  unsigned long index = 0;
  try {
    index = std::stoul(text, &used);
  } catch (const std::exception&) {
    used = 0;
  }
  if (used == 0 || used != text.size() || !std::isdigit(static_cast<unsigned char>(text[0])))
    throw ApiError(400, "object: expected an index, got \"" + render::Printable(text) + "\"");
  if (index >= scene->objects.size())
    throw ApiError(404, "object " + text + ": the scene has " + std::to_string(scene->objects.size()) + " objects");
  return index;
}

Slot PreviewScene::SlotOf(const std::string& name) {
  for (size_t i = 0; i < 3; ++i)
    if (name == slotNames[i]) return static_cast<Slot>(i);
  throw ApiError(404, "channel \"" + render::Printable(name) + "\": expected color, bump or normal");
}

render::Channel& PreviewScene::ChannelAt(size_t object, Slot slot) const {
  render::Material& m = scene->objects.at(object).material;
  return slot == Slot::Color ? m.color : slot == Slot::Bump ? m.bump : m.normal;
}

host::PluginNode& PreviewScene::PluginAt(size_t object, Slot slot) const {
  auto* node = dynamic_cast<host::PluginNode*>(ChannelAt(object, slot).shader);
  if (node == nullptr)
    throw ApiError(404, "object " + std::to_string(object) + " has no plug-in shader in its " + slotNames[Index(slot)] +
                            " channel");
  return *node;
}

Json PreviewScene::ObjectEntry(size_t object) const {
  Json channels = Json::object();
  for (Slot slot : {Slot::Color, Slot::Bump, Slot::Normal})
    channels[slotNames[Index(slot)]] = ChannelEntry(ChannelAt(object, slot), slot);
  return {{"index", object},
          {"name", scene->objects[object].name},
          {"channels", channels},
          {"bounds", BoundsJson(scene->objects[object].mesh)}};
}

Json PreviewScene::Overview() const {
  Json shaders = Json::array({"none"});
  Json links = Json::array({"color", "checkerboard", "noise"});
  for (const std::string& name : PluginShaderNames()) {
    shaders.push_back(name);
    links.push_back(name);
  }
  Json objects = Json::array();
  for (size_t i = 0; i < scene->objects.size(); ++i) objects.push_back(ObjectEntry(i));
  return {{"shaders", shaders}, {"linkShaders", links}, {"objects", objects}, {"camera", CameraJson()}};
}

Json PreviewScene::CameraJson() const {
  const render::CameraSetup& c = scene->camera;
  return {{"position", VectorJson(c.position)}, {"target", VectorJson(c.target)}, {"fov", c.fov}, {"aspect", Aspect()}};
}

Json PreviewScene::Panel(size_t object, Slot slot) const {
  host::PluginNode& node = PluginAt(object, slot);
  std::string title;
  Json elements = PanelElements(node, &title);
  return {{"object", object},
          {"channel", slotNames[Index(slot)]},
          {"shader", node.Name()},
          {"title", title},
          {"elements", std::move(elements)}};
}

ChannelState PreviewScene::Capture(size_t object, Slot slot) const {
  const render::Channel& channel = ChannelAt(object, slot);
  ChannelState state;
  state.object = object;
  state.slot = slot;
  state.shader = channel.shader;
  state.strength = channel.strength;
  state.where = channel.where;
  if (auto* plugin = dynamic_cast<host::PluginNode*>(channel.shader)) state.values = plugin->container;
  if (const host::ConstantShader* plain = PlainColor(object, slot)) state.plainColor = plain->colour;
  return state;
}

host::ConstantShader* PreviewScene::PlainColor(size_t object, Slot slot) const {
  const auto& kept = held[object][Index(slot)];
  const auto it = kept.find("none");
  return it == kept.end() ? nullptr : dynamic_cast<host::ConstantShader*>(it->second);
}

ChannelState PreviewScene::Restore(ChannelState state) {
  ChannelState redo = Capture(state.object, state.slot);
  for (auto& node : state.nodes) scene->nodes.push_back(std::move(node));
  render::Channel& channel = ChannelAt(state.object, state.slot);
  channel.shader = state.shader;
  channel.strength = state.strength;
  channel.where = state.where;
  if (auto* plugin = dynamic_cast<host::PluginNode*>(state.shader); plugin != nullptr && state.values)
    plugin->container = *state.values;
  const bool plain = state.shader == nullptr || dynamic_cast<host::ConstantShader*>(state.shader) != nullptr;
  held[state.object][Index(state.slot)][plain ? "none" : state.shader->Name()] = state.shader;
  if (host::ConstantShader* color = PlainColor(state.object, state.slot); color != nullptr && state.plainColor)
    color->colour = *state.plainColor;
  redo.nodes = DropUnusedNodes();
  return redo;
}

Json PreviewScene::ParametersOf(const Json& body) {
  Json params = Json::object();
  if (body.contains("params")) {
    if (!body["params"].is_object() || body["params"].empty())
      throw ApiError(400, "params: expected {\"SYMBOL\": value, ...}");
    params = body["params"];
  } else if (body.contains("symbol") && body.contains("value")) {
    const Json& symbol = body["symbol"];
    if (!symbol.is_string() && !symbol.is_number_integer())
      throw ApiError(400, "symbol: expected a parameter's symbol or id");
    params[symbol.is_string() ? symbol.get<std::string>() : std::to_string(symbol.get<int64_t>())] = body["value"];
  } else {
    throw ApiError(400, R"(expected "symbol" and "value", or "params")");
  }
  return params;
}

namespace {

// Sets the values on `target`, which stands for `node` (the node itself, or
// a scratch copy to try them on); linked nodes join `scene`.
void ApplyParameters(const host::PluginNode& node, HostNode& target, const Json& params, render::Scene& scene,
                     bool skipLinks) {
  try {
    for (const auto& [key, value] : params.items()) {
      const resources::Element& e = ParameterOf(node, key);
      if (std::string why = PanelRefusal(e, value); !why.empty()) throw ApiError(400, why);
      const bool link = e.type == ElementType::Link || e.type == ElementType::ShaderLink;
      if (link && skipLinks) continue;
      // A scene file leaves a link out to have none; the page says so with null.
      if (value.is_null() && link)
        target.container.SetLink(*e.id, nullptr);
      else
        render::SetParameter(target, e, value, render::Printable(key), scene);
    }
  } catch (const render::JsonError& e) {
    throw ApiError(400, e.what());
  }
}

}  // namespace

void PreviewScene::CheckParameters(size_t object, Slot slot, const Json& body) const {
  const host::PluginNode& node = PluginAt(object, slot);
  HostNode scratch;
  scratch.type = node.type;
  scratch.pluginId = node.pluginId;
  scratch.container = node.container;
  render::Scene unused;
  ApplyParameters(node, scratch, ParametersOf(body), unused, true);
}

ChannelState PreviewScene::SetParameters(size_t object, Slot slot, const Json& body) {
  host::PluginNode& node = PluginAt(object, slot);
  ChannelState undo = Capture(object, slot);
  const Json params = ParametersOf(body);
  // Values refused part way leave none of the request's values behind.
  const HostContainer before = node.container;
  try {
    ApplyParameters(node, node, params, *scene, false);
  } catch (const ApiError&) {
    node.container = before;
    DropUnusedNodes();
    throw;
  }
  undo.nodes = DropUnusedNodes();
  return undo;
}

std::vector<std::unique_ptr<host::ShaderNode>> PreviewScene::DropUnusedNodes() {
  std::set<const HostNode*> reached;
  std::vector<const HostNode*> open;
  const auto reach = [&](const HostNode* node) {
    if (node != nullptr && reached.insert(node).second) open.push_back(node);
  };
  for (size_t i = 0; i < scene->objects.size(); ++i)
    for (Slot slot : {Slot::Color, Slot::Bump, Slot::Normal}) {
      reach(ChannelAt(i, slot).shader);
      for (const auto& entry : held[i][Index(slot)]) reach(entry.second);
    }
  while (!open.empty()) {
    const HostNode* node = open.back();
    open.pop_back();
    for (const auto& entry : node->container.values)
      if (entry.second.kind == host::Value::Kind::Link) reach(entry.second.link);
  }
  std::vector<std::unique_ptr<host::ShaderNode>> dropped;
  auto& nodes = scene->nodes;
  const auto unused =
      std::stable_partition(nodes.begin(), nodes.end(),
                            [&](const std::unique_ptr<host::ShaderNode>& n) { return reached.count(n.get()) != 0; });
  std::move(unused, nodes.end(), std::back_inserter(dropped));
  nodes.erase(unused, nodes.end());
  return dropped;
}

host::ShaderNode* PreviewScene::NodeFor(size_t object, Slot slot, const std::string& name) {
  auto& kept = held[object][Index(slot)];
  if (auto it = kept.find(name); it != kept.end()) return it->second;
  std::unique_ptr<host::ShaderNode> made;
  if (name == "none") {
    // The colour channel always holds something: the scene's plain grey.
    if (slot == Slot::Color) made = std::make_unique<host::ConstantShader>(HostVector{0.8, 0.8, 0.8});
  } else {
    const HostPlugin* plugin = host::Services().registry.FindShader(name);
    if (plugin == nullptr)
      throw ApiError(400, "shader \"" + render::Printable(name) + "\": expected none or one of " +
                              host::Services().registry.ShaderNames());
    made = host::PluginNode::Create(*plugin);
    if (made == nullptr) throw ApiError(500, "the module could not make a " + plugin->name + " node");
  }
  host::ShaderNode* node = made.get();
  if (made != nullptr) scene->nodes.push_back(std::move(made));
  kept[name] = node;
  return node;
}

ChannelState PreviewScene::SetShader(size_t object, Slot slot, const std::string& name) {
  ChannelState undo = Capture(object, slot);
  host::ShaderNode* current = ChannelAt(object, slot).shader;
  const bool plain = current == nullptr || dynamic_cast<host::ConstantShader*>(current) != nullptr;
  if (name == "none" && plain) return undo;
  // Names are looked up as the registry does, so "Soft Edge" finds SoftEdge.
  const HostPlugin* plugin = name == "none" ? nullptr : host::Services().registry.FindShader(name);
  host::ShaderNode* node = NodeFor(object, slot, plugin != nullptr ? plugin->name : name);
  render::Channel& channel = ChannelAt(object, slot);
  channel.shader = node;
  channel.where = "objects[" + std::to_string(object) + "].material." + slotNames[Index(slot)];
  undo.nodes = DropUnusedNodes();
  return undo;
}

void PreviewScene::CheckShaderName(const std::string& name) {
  if (name != "none" && host::Services().registry.FindShader(name) == nullptr)
    throw ApiError(400, "shader \"" + render::Printable(name) + "\": expected none or one of " +
                            host::Services().registry.ShaderNames());
}

ChannelState PreviewScene::SetColor(size_t object, const HostVector& color) {
  ChannelState undo = Capture(object, Slot::Color);
  render::Channel& channel = ChannelAt(object, Slot::Color);
  channel.shader = NodeFor(object, Slot::Color, "none");
  channel.where = std::string("objects[") + std::to_string(object) + "].material.color";
  PlainColor(object, Slot::Color)->colour = color;
  undo.nodes = DropUnusedNodes();
  return undo;
}

void PreviewScene::CheckStrength(Slot slot, double strength) {
  if (slot == Slot::Color) throw ApiError(400, "strength: only the bump and normal channels have a strength");
  if (!std::isfinite(strength) || std::fabs(strength) > maxStrength)
    throw ApiError(400, "Strength must be between -100 and 100");
}

ChannelState PreviewScene::SetStrength(size_t object, Slot slot, double strength) {
  CheckStrength(slot, strength);
  ChannelState undo = Capture(object, slot);
  ChannelAt(object, slot).strength = strength;
  return undo;
}

render::CameraSetup PreviewScene::SetCamera(const render::CameraSetup& camera) {
  return std::exchange(scene->camera, camera);
}

Json PreviewScene::Save(int width, int height, int samples) const {
  Json saved = source;
  Json image = saved.contains("image") ? saved["image"] : Json::object();
  image["width"] = width;
  image["height"] = height;
  image["samples"] = samples;
  saved["image"] = image;
  // The framing the page shows at this size, so the file renders as it does.
  const render::CameraSetup camera = render::FitCamera(scene->camera, Aspect(), width, height);
  saved["camera"] = {{"position", VectorJson(camera.position)},
                     {"target", VectorJson(camera.target)},
                     {"up", VectorJson(camera.up)},
                     {"fov", camera.fov}};
  if (saved.contains("objects")) AbsoluteMeshPaths(saved["objects"], folder);
  for (size_t i = 0; i < scene->objects.size(); ++i) {
    Json& object = saved["objects"][i];
    Json material = object.contains("material") ? object["material"] : Json::object();
    for (Slot slot : {Slot::Color, Slot::Bump, Slot::Normal}) {
      const render::Channel& channel = ChannelAt(i, slot);
      const char* key = slotNames[Index(slot)];
      if (channel.shader == nullptr) {
        material.erase(key);
        continue;
      }
      Json written = ShaderToJson(*channel.shader);
      if (slot != Slot::Color) {
        // Only a shader object carries a strength; a plain colour becomes one.
        if (written.is_array()) written = {{"shader", "color"}, {"params", {{"color", written}}}};
        written["strength"] = channel.strength;
      }
      material[key] = std::move(written);
    }
    object["material"] = std::move(material);
  }
  return saved;
}

}  // namespace tess::web
