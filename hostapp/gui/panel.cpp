#include "hostapp/gui/panel.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

#include "hostapp/services/services.h"

namespace tess::gui {
namespace {

constexpr int32_t margin = panelMargin;
constexpr int32_t rowHeight = 20;
constexpr int32_t textSize = 12;  // pixels: the size of an application's panel text on a plain screen
constexpr int32_t textInset = 4;  // between a field's edge and its text
constexpr Rgba panelColour{58, 58, 62, 255};
constexpr Rgba textColour{224, 224, 228, 255};
constexpr Rgba dimColour{128, 128, 134, 255};
constexpr Rgba headingColour{150, 190, 240, 255};
constexpr Rgba fieldColour{42, 42, 46, 255};
constexpr Rgba lineColour{88, 88, 94, 255};

using resources::Element;
using resources::ElementType;

std::string Number(double v, int decimals) {
  char buffer[64];
  std::snprintf(buffer, sizeof(buffer), "%.*f", decimals, v);
  return buffer;
}

std::string ValueText(const Element& e, const HostContainer& container) {
  const host::Value* v = e.id ? container.Find(*e.id) : nullptr;
  switch (e.type) {
    case ElementType::Long: {
      if (v == nullptr) return "-";
      for (const auto& entry : e.cycle)
        if (entry.value == v->intValue) return entry.label.empty() ? entry.symbol : entry.label;
      return std::to_string(v->intValue);
    }
    case ElementType::Real: {
      if (v == nullptr) return "-";
      const double value = v->kind == host::Value::Kind::Int ? v->intValue : v->floatValue;
      const auto unit = e.FlagText("UNIT");
      if (unit == "DEGREE") return Number(value * 180.0 / 3.141592653589793, 1) + "\u00b0";
      if (unit == "PERCENT") return Number(value * 100.0, 1) + " %";
      if (unit == "METER") return Number(value, 2) + " m";
      return Number(value, 3);
    }
    case ElementType::Bool:
      return v == nullptr ? "-" : v->intValue != 0 ? "\u2611 on" : "\u2610 off";
    case ElementType::String:
      return v == nullptr ? "" : v->text;
    case ElementType::Spline:
      return v != nullptr && v->kind == host::Value::Kind::Data ? "(curve)" : "(no curve)";
    case ElementType::Gradient:
      return v != nullptr && v->kind == host::Value::Kind::Data ? "(gradient)" : "(no gradient)";
    case ElementType::Link:
    case ElementType::ShaderLink:
      return v != nullptr && v->link != nullptr ? "(linked)" : "(empty)";
    default:
      return "";
  }
}

// Labels take two fifths of the panel within bounds, so values keep room at
// narrow widths and labels do not drift far from them at wide ones.
int32_t LabelColumn(int32_t panelWidth) {
  return std::clamp(panelWidth * 2 / 5, 120, 220);
}

// The element's own data type, as custom GUIs list the types they can show.
int32_t DataTypeOf(ElementType type) {
  switch (type) {
    case ElementType::String:
      return HOST_DATATYPE_STRING;
    case ElementType::Spline:
      return HOST_DATATYPE_SPLINE;
    case ElementType::Gradient:
      return HOST_DATATYPE_GRADIENT;
    default:
      return -1;
  }
}

HostPlugin* CustomGuiFor(const std::string& symbol) {
  for (HostPlugin* p : host::Services().registry.Plugins()) {
    if (p->type != HOST_PLUGINTYPE_CUSTOMGUI || p->customGui.getResourceSym == nullptr) continue;
    const char* sym = p->customGui.getResourceSym(p->customGui.object);
    if (sym != nullptr && symbol == sym) return p;
  }
  return nullptr;
}

bool Accepts(const HostPlugin& plugin, int32_t dataType) {
  if (plugin.customGui.getResourceDataType == nullptr) return false;
  const int32_t* types = nullptr;
  const int32_t count = plugin.customGui.getResourceDataType(plugin.customGui.object, &types);
  if (types == nullptr || count <= 0) return false;
  return std::find(types, types + std::min(count, 64), dataType) != types + std::min(count, 64);
}

}  // namespace

bool Hidden(const HostDescription& description, const Element& e) {
  if (!e.id) return false;
  auto it = description.parameters.find(*e.id);
  if (it == description.parameters.end()) return false;
  const host::Value* hide = it->second.Find(HOST_DESC_HIDE);
  return hide != nullptr && hide->intValue != 0;
}

bool DescribeNode(host::PluginNode& node, HostDescription& description, std::string* why) {
  int32_t flags = 0;
  bool ok = node.GetDescription(description, &flags);
  // A plug-in that leaves its description to the host says so by not
  // setting the loaded flag; the host then loads the registered one itself.
  if (ok && (flags & HOST_DESCFLAGS_LOADED) == 0) ok = host::Services().descriptions.Load(description, node.pluginId);
  if (!ok || description.source == nullptr) {
    if (why != nullptr) *why = "the shader " + node.Name() + " gave no description";
    return false;
  }
  return true;
}

HostDescId DescIdOf(int32_t id) {
  HostDescId descId{};
  descId.depth = 1;
  descId.levels[0].id = id;
  return descId;
}

std::unique_ptr<Panel> Panel::Build(host::PluginNode& node, int32_t width, std::string* why,
                                    const std::string& fontPath) {
  HostDescription description;
  if (!DescribeNode(node, description, why)) return nullptr;
  std::string fontWhy;
  std::unique_ptr<Font> font = Font::Open(fontPath, textSize, &fontWhy);
  if (font == nullptr) {
    if (why != nullptr) *why = "the panel's font " + fontWhy;
    return nullptr;
  }
  std::unique_ptr<Panel> panel(new Panel);
  panel->font = std::move(font);
  panel->width = width;
  panel->height = margin;
  panel->AddElements(node, description, description.source->items, 0);
  panel->height += margin;
  return panel;
}

void Panel::AddControl(const Element& e, const HostContainer* properties, const std::string& symbol) {
  PanelRow row;
  row.id = e.id.value_or(0);
  row.y = height;
  HostPlugin* plugin = CustomGuiFor(symbol);
  std::string why;
  std::unique_ptr<ControlHost> control;
  if (plugin == nullptr) {
    why = "no custom GUI is registered for " + symbol;
  } else if (!Accepts(*plugin, DataTypeOf(e.type))) {
    why = "custom GUI " + symbol + " does not show a parameter of this type";
  } else {
    control = ControlHost::Create(*plugin, properties != nullptr ? *properties : HostContainer{}, &why);
  }
  if (control == nullptr) {
    problems.push_back(e.symbol + ": " + why);
    row.kind = PanelRow::Kind::Missing;
    row.label = e.longLabel.empty() ? e.symbol : e.longLabel;
    row.value = "(" + symbol + " unavailable)";
    row.height = rowHeight;
  } else {
    control->Show(margin, height, width - 2 * margin);
    if (!control->AreasReady()) {
      // The bitmap service noted which file it could not load.
      std::string cause = "a bitmap is missing or unreadable";
      const auto notes = host::Services().console.Notes();
      if (!notes.empty() && notes.back().rfind("error: ", 0) == 0) cause = notes.back().substr(7);
      problems.push_back(e.symbol + ": the " + plugin->name + " control could not initialise (" + cause +
                         "); nothing is drawn for it");
    }
    row.kind = PanelRow::Kind::Control;
    row.control = control.get();
    row.height = std::max(control->Height(), 1) + 4;
    controls.push_back(std::move(control));
  }
  height += row.height;
  rows.push_back(std::move(row));
}

void Panel::AddElements(host::PluginNode& node, const HostDescription& description,
                        const std::vector<Element>& elements, int32_t depth) {
  for (const Element& e : elements) {
    if (Hidden(description, e)) continue;
    const HostContainer* properties = nullptr;
    if (e.id) {
      auto it = description.parameters.find(*e.id);
      if (it != description.parameters.end()) properties = &it->second;
    }
    if (e.type == ElementType::Group) {
      int32_t inner = depth;
      if (!e.longLabel.empty()) {
        PanelRow row;
        row.kind = PanelRow::Kind::Heading;
        row.id = e.id.value_or(0);
        row.label = e.longLabel;
        row.depth = depth;
        row.y = height;
        row.height = rowHeight + 4;
        height += row.height;
        rows.push_back(std::move(row));
        inner = depth + 1;
      }
      AddElements(node, description, e.children, inner);
      continue;
    }
    if (e.type == ElementType::Separator) {
      PanelRow row;
      row.kind = PanelRow::Kind::Separator;
      row.y = height;
      row.height = 8;
      height += row.height;
      rows.push_back(std::move(row));
      continue;
    }
    if (auto gui = e.FlagText("CUSTOMGUI")) {
      AddControl(e, properties, *gui);
      continue;
    }
    PanelRow row;
    row.kind = PanelRow::Kind::Parameter;
    row.id = e.id.value_or(0);
    row.label = e.longLabel.empty() ? e.symbol : e.longLabel;
    row.value = ValueText(e, node.container);
    row.enabled = !e.id || node.IsEnabled(DescIdOf(*e.id));
    row.depth = depth;
    row.y = height;
    row.height = rowHeight;
    height += row.height;
    rows.push_back(std::move(row));
  }
}

void Panel::Move(int32_t x, int32_t y) {
  for (auto& c : controls) c->Move(x, y);
}

void Panel::Press(int32_t x, int32_t y, int32_t channel) {
  for (auto& c : controls) c->Press(x, y, channel);
}

void Panel::Wait(int64_t milliseconds) {
  AdvanceClock(milliseconds);
  for (auto& c : controls) c->Flush();
}

void Panel::DrawParameter(Image& image, const PanelRow& row, int32_t indent) const {
  const int32_t labelColumn = LabelColumn(width);
  const int32_t textY = row.y + (rowHeight - font->LineHeight()) / 2;
  const Rgba colour = row.enabled && row.kind == PanelRow::Kind::Parameter ? textColour : dimColour;
  font->DrawText(image, indent, textY, font->Fit(row.label, labelColumn - indent - textInset), colour);
  const int32_t fieldWidth = width - labelColumn - margin;
  image.FillRect(labelColumn, row.y + 2, fieldWidth, rowHeight - 4, fieldColour);
  font->DrawText(image, labelColumn + textInset, textY, font->Fit(row.value, fieldWidth - 2 * textInset), colour);
}

Image Panel::Render() const {
  Image image(width, height, panelColour);
  for (const PanelRow& row : rows) {
    const int32_t indent = margin + row.depth * 10;
    switch (row.kind) {
      case PanelRow::Kind::Heading: {
        const int32_t textY = row.y + (row.height - 3 - font->LineHeight()) / 2;
        font->DrawText(image, indent, textY, font->Fit(row.label, width - indent - margin), headingColour);
        image.FillRect(indent, row.y + row.height - 3, width - indent - margin, 1, headingColour);
        break;
      }
      case PanelRow::Kind::Separator:
        image.FillRect(margin, row.y + row.height / 2, width - 2 * margin, 1, lineColour);
        break;
      case PanelRow::Kind::Control:
        break;
      case PanelRow::Kind::Parameter:
      case PanelRow::Kind::Missing:
        DrawParameter(image, row, indent);
        break;
    }
  }
  for (const auto& c : controls) c->Compose(image);
  return image;
}

}  // namespace tess::gui
