#include "hostapp/gui/control_host.h"

#include <algorithm>

namespace tess::gui {
namespace {

constexpr int32_t BFH_SCALEFIT = 56;

int32_t SpaceOf(const GroupRecord& g, int side) {
  return std::max(g.space[side], 0);
}

}  // namespace

std::unique_ptr<ControlHost> ControlHost::Create(HostPlugin& plugin, const HostContainer& settings, std::string* why) {
  const HostCustomGuiRecord& record = plugin.customGui;
  if (plugin.type != HOST_PLUGINTYPE_CUSTOMGUI || record.alloc == nullptr) {
    if (why != nullptr) *why = "plug-in " + std::to_string(plugin.id) + " is not a custom GUI";
    return nullptr;
  }
  HostDialog* dialog = record.alloc(record.object, &settings);
  if (dialog == nullptr || GuiTable()->dialogSelf(dialog) == nullptr) {
    if (why != nullptr) *why = "custom GUI " + plugin.name + " gave no dialog";
    return nullptr;
  }
  return std::unique_ptr<ControlHost>(new ControlHost(plugin, dialog));
}

ControlHost::~ControlHost() {
  // The plug-in gets back the dialog and the object behind it, as user data.
  void* self = GuiTable()->dialogSelf(dialog);
  if (plugin.customGui.free != nullptr) plugin.customGui.free(plugin.customGui.object, dialog, self);
}

std::vector<HostUserArea*> ControlHost::Areas() const {
  std::vector<HostUserArea*> areas;
  for (HostUserArea* a : Gui().areas)
    if (a->dialog == dialog) areas.push_back(a);
  return areas;
}

bool ControlHost::Ready(const HostUserArea* area) const {
  return std::find(failed.begin(), failed.end(), area) == failed.end();
}

bool ControlHost::AreasReady() const {
  return failed.empty();
}

void ControlHost::Show(int32_t x, int32_t y, int32_t width) {
  const HostDialogCallbacks& cb = dialog->callbacks;
  layoutOk = cb.createLayout == nullptr || cb.createLayout(cb.self) != 0;
  if (cb.initValues != nullptr) cb.initValues(cb.self);

  // One column: every gadget below the previous one, inset by the border
  // spaces of the groups around it; a gadget that scales fills the width.
  int32_t top = y;
  for (const auto& gadget : dialog->gadgets) {
    int32_t left = x, right = x + width, pad = 0;
    for (int32_t g = gadget->group; g >= 0; g = dialog->groups[static_cast<size_t>(g)].parent) {
      const GroupRecord& group = dialog->groups[static_cast<size_t>(g)];
      left += SpaceOf(group, 0);
      right -= SpaceOf(group, 2);
      pad += SpaceOf(group, 1) + SpaceOf(group, 3);
    }
    HostUserArea* area = gadget->area;
    int32_t w = (gadget->flags & BFH_SCALEFIT) == BFH_SCALEFIT ? right - left : gadget->width;
    int32_t h = gadget->height;
    if (area != nullptr) {
      const HostUserAreaCallbacks& ucb = area->callbacks;
      if (ucb.init != nullptr && ucb.init(ucb.self) == 0) failed.push_back(area);
      int32_t minW = 0, minH = 0;
      if (ucb.getMinSize != nullptr && ucb.getMinSize(ucb.self, &minW, &minH) != 0) {
        w = std::max(w, minW);
        h = std::max(h, minH);
      }
      area->x = left;
      area->y = top + pad / 2;
      area->width = w;
      area->height = h;
      HostContainer sized;
      sized.id = msgSizedInfo;
      HostContainer result;
      if (ucb.message != nullptr) ucb.message(ucb.self, &sized, &result);
    }
    top += h + pad;
  }
  height = top - y;
  for (HostUserArea* area : Areas())
    if (Ready(area)) DrawArea(area, true);
}

void ControlHost::Move(int32_t x, int32_t y) {
  Gui().pointer.x = x;
  Gui().pointer.y = y;
  HostUserArea* area = AreaAt(x, y);
  if (area != nullptr && area->dialog == dialog && Ready(area) && area->callbacks.message != nullptr) {
    HostContainer msg, result;
    msg.id = msgCursorInfo;
    area->callbacks.message(area->callbacks.self, &msg, &result);
  }
  Flush();
}

void ControlHost::Press(int32_t x, int32_t y, int32_t channel) {
  Gui().pointer.x = x;
  Gui().pointer.y = y;
  bool& button = channel == channelLeft    ? Gui().pointer.left
                 : channel == channelRight ? Gui().pointer.right
                                           : Gui().pointer.middle;
  button = true;
  HostUserArea* area = AreaAt(x, y);
  if (area != nullptr && area->dialog == dialog && Ready(area) && area->callbacks.inputEvent != nullptr) {
    HostContainer msg;
    msg.id = msgInput;
    msg.SetInt(keyDevice, deviceMouse);
    msg.SetInt(keyChannel, channel);
    msg.SetInt(keyX, x);
    msg.SetInt(keyY, y);
    msg.SetInt(keyValue, 1);
    area->callbacks.inputEvent(area->callbacks.self, &msg);
  }
  button = false;
  Flush();
}

void ControlHost::Wait(int64_t milliseconds) {
  AdvanceClock(milliseconds);
  Flush();
}

void ControlHost::Flush() {
  for (HostUserArea* area : Areas())
    if (Ready(area)) DrawArea(area);
}

void ControlHost::Compose(Image& target) const {
  for (HostUserArea* area : Areas())
    if (Ready(area) && area->draws > 0) target.Paste(area->canvas, area->x, area->y);
}

}  // namespace tess::gui
