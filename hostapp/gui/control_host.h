// Hosts one custom GUI control the way the attribute panel does: asks the
// registered plug-in for its dialog, lets it build its layout, initialises
// and sizes its user areas, draws them, hands them the pointer's events, and
// frees the dialog through the plug-in when the control goes away.
#ifndef TESSALINE_HOSTAPP_GUI_CONTROL_HOST_H
#define TESSALINE_HOSTAPP_GUI_CONTROL_HOST_H

#include <memory>
#include <string>
#include <vector>

#include "hostapp/gui/dialogs.h"
#include "hostapp/services/registry.h"

namespace tess::gui {

class ControlHost {
 public:
  // Null with a reason when the plug-in is no custom GUI or gives no dialog.
  static std::unique_ptr<ControlHost> Create(HostPlugin& plugin, const HostContainer& settings, std::string* why);
  ControlHost(const ControlHost&) = delete;
  ControlHost& operator=(const ControlHost&) = delete;
  ~ControlHost();

  // Layout, values, the user areas' Init, sizes and the first draw, with the
  // control's top left at (x, y) and the given width.
  void Show(int32_t x, int32_t y, int32_t width);

  // The pointer moved to a global position: the area under it is asked for
  // cursor information.
  void Move(int32_t x, int32_t y);
  // A button pressed and released at a global position.
  void Press(int32_t x, int32_t y, int32_t channel);
  // Time passes; due timers fire.
  void Wait(int64_t milliseconds);
  // Draws whatever asked for a redraw.
  void Flush();
  // Paints the areas' canvases onto an image in global coordinates.
  void Compose(Image& target) const;

  bool LayoutOk() const { return layoutOk; }
  // False when a user area's Init failed; such an area is never drawn.
  bool AreasReady() const;
  int32_t Height() const { return height; }
  HostDialog* Dialog() const { return dialog; }
  std::vector<HostUserArea*> Areas() const;

 private:
  ControlHost(HostPlugin& p, HostDialog* d) : plugin(p), dialog(d) {}
  bool Ready(const HostUserArea* area) const;

  HostPlugin& plugin;
  HostDialog* dialog;
  bool layoutOk = false;
  std::vector<HostUserArea*> failed;  // areas whose Init said no
  int32_t height = 0;
};

}  // namespace tess::gui

#endif
