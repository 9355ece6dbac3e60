// The title bar of one shader panel, hosted as the attribute panel hosts it
// (the module's custom GUI draws it), for the page to show as an image and to
// hand pointer events to. One bar is live at a time: the host's user areas
// share one pointer, as they would in one window.
#ifndef TESSALINE_HOSTAPP_WEB_TITLEBAR_VIEW_H
#define TESSALINE_HOSTAPP_WEB_TITLEBAR_VIEW_H

#include <memory>
#include <string>

#include "hostapp/gui/panel.h"
#include "hostapp/scene/json_access.h"

namespace tess::web {

class TitleBarView {
 public:
  // The bar of the node's panel as a PNG, `width` pixels wide.
  std::string Png(host::PluginNode& node, int width);
  // "move", "down", "up" or "leave" at (x, y) in the bar's pixels: whether it
  // looks different now, and the message box or the address it gave.
  render::Json Pointer(host::PluginNode& node, int width, const std::string& event, int x, int y);
  // Lets the controls go; before the nodes or the module do.
  void Forget();
  // The manual the module last asked to open; empty before.
  const std::string& ManualPath() const { return manual; }

 private:
  void Show(host::PluginNode& node, int width);
  gui::Image Bar() const;

  host::PluginNode* shownNode = nullptr;
  int shownWidth = 0;
  std::unique_ptr<gui::Panel> panel;
  const gui::PanelRow* row = nullptr;
  std::string manual;
};

}  // namespace tess::web

#endif
