#include "hostapp/scene/shader_reader.h"

#include <cmath>
#include <cctype>
#include <cstdlib>

#include "hostapp/scene/nearest_names.h"
#include "hostapp/services/gradient.h"
#include "hostapp/services/parameters.h"
#include "hostapp/services/services.h"
#include "hostapp/services/spline.h"

namespace tess::render {
namespace {

using host::ShaderNode;
using resources::Element;
using resources::ElementType;

constexpr double degree = 3.141592653589793 / 180.0;

template <typename Node>
Node* Keep(Scene& scene, std::unique_ptr<Node> node) {
  Node* raw = node.get();
  scene.nodes.push_back(std::move(node));
  return raw;
}

ShaderNode* ReadBuiltIn(const std::string& name, const Json& params, const std::string& path, Scene& scene) {
  if (name == "color") {
    CheckKeys(params, path, {"color"});
    return Keep(scene,
                std::make_unique<host::ConstantShader>(Optional(params, path, "color", HostVector{1, 1, 1}, ReadVec)));
  }
  if (name == "checkerboard") {
    CheckKeys(params, path, {"color1", "color2", "size"});
    auto node = std::make_unique<host::CheckerShader>();
    node->colour1 = Optional(params, path, "color1", node->colour1, ReadVec);
    node->colour2 = Optional(params, path, "color2", node->colour2, ReadVec);
    node->size = Optional(params, path, "size", node->size, ReadNumber);
    return Keep(scene, std::move(node));
  }
  CheckKeys(params, path, {"color1", "color2", "scale", "seed"});
  auto node = std::make_unique<host::NoiseShader>();
  node->colour1 = Optional(params, path, "color1", node->colour1, ReadVec);
  node->colour2 = Optional(params, path, "color2", node->colour2, ReadVec);
  node->scale = Optional(params, path, "scale", node->scale, ReadNumber);
  if (params.contains("seed"))
    node->seed = static_cast<uint32_t>(ReadInt(params["seed"], Member(path, "seed"), 0, 1 << 30));
  return Keep(scene, std::move(node));
}

std::unique_ptr<HostSpline> ReadCurve(const Json& j, const std::string& path) {
  if (!j.is_array() || j.empty()) throw JsonError(path, "expected knots [[x, y], ...]");
  std::vector<HostSpline::Knot> knots;
  for (size_t i = 0; i < j.size(); ++i) {
    const std::string at = Item(path, i);
    if (!j[i].is_array() || j[i].size() != 2) throw JsonError(at, "expected a knot [x, y]");
    knots.push_back({ReadNumber(j[i][0], Item(at, 0)), ReadNumber(j[i][1], Item(at, 1))});
  }
  auto curve = std::make_unique<HostSpline>();
  curve->SetKnots(std::move(knots));
  return curve;
}

std::unique_ptr<HostGradient> ReadGradient(const Json& j, const std::string& path) {
  if (!j.is_array() || j.empty()) throw JsonError(path, R"(expected knots [{"position": p, "color": [r, g, b]}, ...])");
  auto gradient = std::make_unique<HostGradient>();
  for (size_t i = 0; i < j.size(); ++i) {
    const std::string at = Item(path, i);
    CheckKeys(j[i], at, {"position", "color", "brightness", "bias"});
    if (!j[i].contains("position") || !j[i].contains("color")) throw JsonError(at, "a knot needs position and color");
    HostGradientKnot knot = HostGradient::DefaultKnot();
    knot.position = ReadNumber(j[i]["position"], Member(at, "position"));
    knot.color = ReadVec(j[i]["color"], Member(at, "color"));
    knot.brightness = Optional(j[i], at, "brightness", knot.brightness, ReadNumber);
    knot.bias = Optional(j[i], at, "bias", knot.bias, ReadNumber);
    knot.index = static_cast<int32_t>(i);
    gradient->InsertKnot(knot);
  }
  return gradient;
}

// A LONG parameter takes a number or the symbol of one of its cycle entries.
int32_t ReadLong(const Element& e, const Json& j, const std::string& path) {
  if (j.is_string()) {
    for (const auto& entry : e.cycle)
      if (entry.symbol == j.get<std::string>()) return entry.value;
    throw JsonError(path, "not one of the choices of " + e.symbol);
  }
  return ReadInt(j, path, INT32_MIN, INT32_MAX);
}

// A value as the panel shows it must lie in the description's range.
template <typename T>
T InRange(const Element& e, T shown, const std::string& path) {
  std::string why;
  if (!host::InsideRange(e, static_cast<double>(shown), &why)) throw JsonError(path, why);
  return shown;
}

const HostPlugin* FindPlugin(const Json& name, const std::string& path) {
  // "SoftEdge", "Soft Edge", "xsoftedge" and 1020978 name one shader.
  const std::string key = name.is_number_integer() ? std::to_string(name.get<int64_t>()) : name.get<std::string>();
  const HostPlugin* plugin = host::Services().registry.FindShader(key);
  if (plugin == nullptr)
    throw JsonError(
        path, "unknown shader " + name.dump() + " (plug-in shaders of the module, or color, checkerboard, noise)");
  return plugin;
}

// The symbols a scene can set: every parameter of the description.
void CollectSymbols(const std::vector<Element>& items, std::vector<std::string>& symbols) {
  for (const Element& e : items) {
    if (e.id && e.type != ElementType::Group && e.type != ElementType::Separator) symbols.push_back(e.symbol);
    CollectSymbols(e.children, symbols);
  }
}

std::string UnknownParameter(const resources::Description* description, const std::string& key) {
  return "unknown parameter" + (description != nullptr ? DidYouMean(key, ParameterSymbols(*description)) : "");
}

ShaderNode* ReadPluginShader(const HostPlugin& plugin, const Json& params, const std::string& path, Scene& scene) {
  auto node = host::PluginNode::Create(plugin);
  if (node == nullptr) throw JsonError(path, "the module could not make a " + plugin.name + " node");
  const auto description = host::Services().descriptions.Of(plugin.id);
  RequireObject(params, path);
  for (const auto& [key, value] : params.items()) {
    const Element* e = description != nullptr ? description->FindBySymbol(key) : nullptr;
    if (e == nullptr || !e->id || e->type == ElementType::Group || e->type == ElementType::Separator)
      throw JsonError(Member(path, key), UnknownParameter(description.get(), key));
    SetParameter(*node, *e, value, Member(path, key), scene);
  }
  return Keep(scene, std::move(node));
}

}  // namespace

void SetParameter(HostNode& node, const Element& e, const Json& j, const std::string& path, Scene& scene) {
  const int32_t id = *e.id;
  switch (e.type) {
    case ElementType::Real: {
      const bool angle = e.FlagText("UNIT").value_or("") == "DEGREE";
      node.container.SetFloat(id, InRange(e, ReadNumber(j, path), path) * (angle ? degree : 1.0));
      return;
    }
    case ElementType::Long:
      node.container.SetInt(id, e.cycle.empty() ? InRange(e, ReadLong(e, j, path), path) : ReadLong(e, j, path));
      return;
    case ElementType::Bool:
      node.container.SetBool(id, ReadBool(j, path));
      return;
    case ElementType::String:
      node.container.SetText(id, ReadString(j, path));
      return;
    case ElementType::Spline:
      node.container.SetData(id, ReadCurve(j, path));
      return;
    case ElementType::Gradient:
      node.container.SetData(id, ReadGradient(j, path));
      return;
    case ElementType::Link:
    case ElementType::ShaderLink:
      node.container.SetLink(id, ReadShader(j, path, scene));
      return;
    default:
      throw JsonError(path, "unknown parameter");
  }
}

ShaderNode* ReadShader(const Json& j, const std::string& path, Scene& scene) {
  if (j.is_number()) {
    const double v = ReadNumber(j, path);
    return Keep(scene, std::make_unique<host::ConstantShader>(HostVector{v, v, v}));
  }
  if (j.is_array()) return Keep(scene, std::make_unique<host::ConstantShader>(ReadVec(j, path)));
  CheckKeys(j, path, {"shader", "params"});
  if (!j.contains("shader")) throw JsonError(path, "expected a colour [r, g, b] or {\"shader\": ...}");
  const Json& name = j["shader"];
  if (!name.is_string() && !name.is_number_integer())
    throw JsonError(Member(path, "shader"), "expected a shader name or plug-in id");
  static const Json none = Json::object();
  const Json& params = j.contains("params") ? j["params"] : none;
  const std::string paramsPath = Member(path, "params");
  if (name.is_string()) {
    const std::string text = name.get<std::string>();
    if (text == "color" || text == "checkerboard" || text == "noise")
      return ReadBuiltIn(text, params, paramsPath, scene);
  }
  return ReadPluginShader(*FindPlugin(name, Member(path, "shader")), params, paramsPath, scene);
}

std::vector<std::string> ParameterSymbols(const resources::Description& description) {
  std::vector<std::string> symbols;
  CollectSymbols(description.items, symbols);
  return symbols;
}

Channel ReadChannel(const Json& j, const std::string& path, Scene& scene, bool withStrength) {
  Channel channel;
  channel.where = path;
  if (j.is_object() && j.contains("strength")) {
    if (!withStrength) throw JsonError(Member(path, "strength"), "only bump and normal channels have a strength");
    channel.strength = ReadNumber(j["strength"], Member(path, "strength"));
    Json rest = j;
    rest.erase("strength");
    channel.shader = ReadShader(rest, path, scene);
  } else {
    channel.shader = ReadShader(j, path, scene);
  }
  return channel;
}

}  // namespace tess::render
