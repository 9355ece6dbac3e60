#include "hostapp/web/shader_json.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "hostapp/gui/panel.h"
#include "hostapp/services/gradient.h"
#include "hostapp/services/services.h"
#include "hostapp/services/spline.h"
#include "hostapp/web/api_error.h"

namespace tess::web {
namespace {

using resources::Element;
using resources::ElementType;

constexpr double degree = 3.141592653589793 / 180.0;

// The shortest degrees that a scene file turns back into exactly these
// radians: a saved scene renders the very image the edits gave, and 60 reads
// as 60, not 59.99999999999999.
double DegreesOf(double radians) {
  const double near = radians / degree;
  for (int digits = 1; digits <= 17; ++digits) {
    char text[40];
    std::snprintf(text, sizeof text, "%.*g", digits, near);
    const double shown = std::strtod(text, nullptr);
    if (shown * degree == radians) return shown;
  }
  double shown = near;
  for (int step = 0; step < 4 && shown * degree != radians; ++step)
    shown = std::nextafter(shown, shown * degree < radians ? INFINITY : -INFINITY);
  return shown;
}

Json Colour(const HostVector& c) {
  return Json::array({c.x, c.y, c.z});
}

Json SplineKnots(const HostSpline& curve) {
  Json knots = Json::array();
  for (const auto& k : curve.Knots()) knots.push_back(Json::array({k.x, k.y}));
  return knots;
}

Json GradientKnots(const HostGradient& gradient) {
  Json knots = Json::array();
  for (const HostGradientKnot& k : gradient.Knots())
    knots.push_back(
        {{"position", k.position}, {"color", Colour(k.color)}, {"brightness", k.brightness}, {"bias", k.bias}});
  return knots;
}

bool IsParameter(const Element& e) {
  return e.id && e.type != ElementType::Group && e.type != ElementType::Separator;
}

void AddParameters(const HostContainer& container, const std::vector<Element>& elements, Json& params) {
  for (const Element& e : elements) {
    if (e.type == ElementType::Group) AddParameters(container, e.children, params);
    if (!IsParameter(e) || e.HasFlag("CUSTOMGUI")) continue;
    Json value = ParameterValue(container, e);
    if (!value.is_null()) params[e.symbol] = std::move(value);
  }
}

Json PluginShaderJson(const host::PluginNode& node) {
  Json params = Json::object();
  if (const auto description = host::Services().descriptions.Of(node.pluginId))
    AddParameters(node.container, description->items, params);
  return {{"shader", node.Name()}, {"params", params}};
}

Json ParameterEntry(host::PluginNode& node, const Element& e) {
  Json entry = {{"kind", "param"},
                {"id", *e.id},
                {"symbol", e.symbol},
                {"label", e.longLabel.empty() ? e.symbol : e.longLabel},
                {"type", std::string(resources::ElementTypeName(e.type))}};
  if (!e.shortLabel.empty()) entry["shortLabel"] = e.shortLabel;
  if (auto unit = e.FlagText("UNIT")) entry["unit"] = *unit;
  static const std::pair<const char*, const char*> limits[] = {{"MIN", "min"}, {"MAX", "max"}, {"STEP", "step"}};
  if (e.cycle.empty())
    for (const auto& [flag, key] : limits)
      if (auto number = e.FlagNumber(flag)) entry[key] = *number;
  if (!e.cycle.empty()) {
    Json cycle = Json::array();
    for (const auto& c : e.cycle)
      cycle.push_back({{"value", c.value}, {"symbol", c.symbol}, {"label", c.label.empty() ? c.symbol : c.label}});
    entry["cycle"] = std::move(cycle);
  }
  entry["value"] = ParameterValue(node.container, e);
  entry["enabled"] = node.IsEnabled(gui::DescIdOf(*e.id));
  return entry;
}

Json Elements(host::PluginNode& node, const HostDescription& description, const std::vector<Element>& elements) {
  Json list = Json::array();
  for (const Element& e : elements) {
    if (gui::Hidden(description, e)) continue;
    if (e.type == ElementType::Group) {
      list.push_back({{"kind", "group"},
                      {"id", e.id.value_or(0)},
                      {"symbol", e.symbol},
                      {"label", e.longLabel},
                      {"elements", Elements(node, description, e.children)}});
    } else if (e.type == ElementType::Separator) {
      list.push_back({{"kind", "separator"}});
    } else if (auto gui = e.FlagText("CUSTOMGUI")) {
      list.push_back({{"kind", "titlebar"}, {"id", e.id.value_or(0)}, {"symbol", e.symbol}, {"gui", *gui}});
    } else if (IsParameter(e)) {
      list.push_back(ParameterEntry(node, e));
    }
  }
  return list;
}

}  // namespace

Json ParameterValue(const HostContainer& container, const Element& e) {
  const host::Value* v = e.id ? container.Find(*e.id) : nullptr;
  if (v == nullptr) return nullptr;
  switch (e.type) {
    case ElementType::Real: {
      const double value = v->kind == host::Value::Kind::Int ? v->intValue : v->floatValue;
      return e.FlagText("UNIT").value_or("") == "DEGREE" ? DegreesOf(value) : value;
    }
    case ElementType::Long:
      return v->intValue;
    case ElementType::Bool:
      return v->intValue != 0;
    case ElementType::String:
      return v->text;
    case ElementType::Spline: {
      const auto* curve = dynamic_cast<const HostSpline*>(v->data.get());
      return curve != nullptr ? SplineKnots(*curve) : Json(nullptr);
    }
    case ElementType::Gradient: {
      const auto* gradient = dynamic_cast<const HostGradient*>(v->data.get());
      return gradient != nullptr ? GradientKnots(*gradient) : Json(nullptr);
    }
    case ElementType::Link:
    case ElementType::ShaderLink: {
      const auto* linked = dynamic_cast<const host::ShaderNode*>(v->link);
      return linked != nullptr ? ShaderToJson(*linked) : Json(nullptr);
    }
    default:
      return nullptr;
  }
}

Json ShaderToJson(const host::ShaderNode& node) {
  if (const auto* plugin = dynamic_cast<const host::PluginNode*>(&node)) return PluginShaderJson(*plugin);
  if (const auto* constant = dynamic_cast<const host::ConstantShader*>(&node)) return Colour(constant->colour);
  if (const auto* checker = dynamic_cast<const host::CheckerShader*>(&node))
    return {{"shader", "checkerboard"},
            {"params",
             {{"color1", Colour(checker->colour1)}, {"color2", Colour(checker->colour2)}, {"size", checker->size}}}};
  if (const auto* noise = dynamic_cast<const host::NoiseShader*>(&node))
    return {{"shader", "noise"},
            {"params",
             {{"color1", Colour(noise->colour1)},
              {"color2", Colour(noise->colour2)},
              {"scale", noise->scale},
              {"seed", noise->seed}}}};
  return nullptr;
}

Json PanelElements(host::PluginNode& node, std::string* title) {
  HostDescription description;
  std::string why;
  if (!gui::DescribeNode(node, description, &why)) throw ApiError(500, why);
  *title = description.source->title;
  return Elements(node, description, description.source->items);
}

}  // namespace tess::web
