// A shader node's attribute panel as the host shows it: the visible
// parameters of its description with labels and values, and the custom GUI
// controls that parameters ask for, hosted through their plug-ins.
#ifndef TESSALINE_HOSTAPP_GUI_PANEL_H
#define TESSALINE_HOSTAPP_GUI_PANEL_H

#include <memory>
#include <string>
#include <vector>

#include "hostapp/gui/control_host.h"
#include "hostapp/gui/font.h"
#include "hostapp/services/descriptions.h"
#include "hostapp/services/nodes.h"

namespace tess::gui {

// Space around the panel's rows; controls start this far from its left edge.
constexpr int32_t panelMargin = 6;

// The node's description as the panel asks for it, the module's adjustments
// included; false with a reason when the node gives none.
bool DescribeNode(host::PluginNode& node, HostDescription& description, std::string* why);
// Whether the module's description hides the element (and all it holds).
bool Hidden(const HostDescription& description, const resources::Element& e);
// The one-level id by which the panel asks whether a parameter is enabled.
HostDescId DescIdOf(int32_t id);

struct PanelRow {
  enum class Kind { Heading, Parameter, Separator, Control, Missing } kind = Kind::Parameter;
  int32_t id = 0;
  std::string label;
  std::string value;
  bool enabled = true;
  int32_t depth = 0;
  int32_t y = 0;
  int32_t height = 0;
  ControlHost* control = nullptr;  // for Kind::Control
};

class Panel {
 public:
  // Asks the node for its description (the module may hide parts of it),
  // opens the font its text is drawn with and lays the panel out for the
  // given width; null with a reason on failure.
  static std::unique_ptr<Panel> Build(host::PluginNode& node, int32_t width, std::string* why,
                                      const std::string& fontPath = panelFontPath);

  const std::vector<PanelRow>& Rows() const { return rows; }
  const std::vector<std::unique_ptr<ControlHost>>& Controls() const { return controls; }
  // Lines about controls that could not be shown or initialised.
  const std::vector<std::string>& Problems() const { return problems; }
  int32_t Width() const { return width; }
  int32_t Height() const { return height; }

  void Move(int32_t x, int32_t y);
  void Press(int32_t x, int32_t y, int32_t channel);
  void Wait(int64_t milliseconds);
  Image Render() const;

 private:
  Panel() = default;
  void AddElements(host::PluginNode& node, const HostDescription& description,
                   const std::vector<resources::Element>& elements, int32_t depth);
  void AddControl(const resources::Element& element, const HostContainer* properties, const std::string& symbol);

  void DrawParameter(Image& image, const PanelRow& row, int32_t indent) const;

  std::unique_ptr<Font> font;
  std::vector<PanelRow> rows;
  std::vector<std::unique_ptr<ControlHost>> controls;
  std::vector<std::string> problems;
  int32_t width = 0;
  int32_t height = 0;
};

}  // namespace tess::gui

#endif
