#include "hostapp/gui/dialogs.h"

#include <algorithm>
#include <limits>

#include "hostapp/gui/bitmaps.h"
#include "hostapp/services/handles.h"
#include "hostapp/services/services.h"

namespace tess::gui {
namespace {

template <typename T>
bool IsLive(const std::vector<T*>& list, const T* item) {
  return item != nullptr && std::find(list.begin(), list.end(), item) != list.end();
}

bool LiveDialog(const HostDialog* d) {
  return IsLive(Gui().dialogs, d);
}
bool LiveArea(const HostUserArea* a) {
  return IsLive(Gui().areas, a);
}

// The group new gadgets go into: the innermost one begun and not ended.
int32_t CurrentGroup(const HostDialog* d) {
  return d->open.empty() ? -1 : d->open.back();
}

GroupRecord* CurrentGroupRecord(HostDialog* d) {
  const int32_t g = CurrentGroup(d);
  return g >= 0 ? &d->groups[static_cast<size_t>(g)] : nullptr;
}

HostDialog* CreateCustomGui(const HostContainer* settings, HostPlugin* plugin, const HostDialogCallbacks* cb) {
  if (cb == nullptr) return nullptr;
  auto* d = new HostDialog;
  d->callbacks = *cb;
  d->plugin = plugin;
  if (settings != nullptr) d->settings = *settings;
  Gui().dialogs.push_back(d);
  ++Gui().dialogsCreated;
  return d;
}

void DestroyDialog(HostDialog* d) {
  if (!LiveDialog(d)) return;
  for (auto& g : d->gadgets)
    if (g->area != nullptr) {
      g->area->dialog = nullptr;
      g->area->gadget = nullptr;
    }
  auto& list = Gui().dialogs;
  list.erase(std::remove(list.begin(), list.end(), d), list.end());
  delete d;
}

int32_t DialogBaseMessage(HostDialog* d, const HostContainer* msg, HostContainer*) {
  if (!LiveDialog(d) || msg == nullptr) return 0;
  // The standard handling turns a gadget's action into a command.
  if (msg->id == msgAction && d->callbacks.command != nullptr) {
    ++d->commands;
    const host::Value* gadget = msg->Find(keyActionId);
    return d->callbacks.command(d->callbacks.self, gadget != nullptr ? gadget->intValue : 0, msg);
  }
  return 0;
}

HostBool GroupBegin(HostDialog* d, int32_t id, int32_t flags, int32_t columns, int32_t rows, const HostString* title,
                    int32_t groupFlags, int32_t width, int32_t height) {
  if (!LiveDialog(d)) return 0;
  GroupRecord g;
  g.id = id;
  g.flags = flags;
  g.columns = columns;
  g.rows = rows;
  g.title = title != nullptr ? title->text : std::string();
  g.groupFlags = groupFlags;
  g.width = width;
  g.height = height;
  g.parent = CurrentGroup(d);
  d->groups.push_back(g);
  d->open.push_back(static_cast<int32_t>(d->groups.size() - 1));
  return 1;
}

HostBool GroupEnd(HostDialog* d) {
  if (!LiveDialog(d) || d->open.empty()) return 0;
  CurrentGroupRecord(d)->closed = true;
  d->open.pop_back();
  return 1;
}

HostBool GroupBorder(HostDialog* d, int32_t style) {
  if (!LiveDialog(d) || CurrentGroupRecord(d) == nullptr) return 0;
  CurrentGroupRecord(d)->border = style;
  return 1;
}

HostBool GroupBorderSpace(HostDialog* d, int32_t left, int32_t top, int32_t right, int32_t bottom) {
  GroupRecord* g = LiveDialog(d) ? CurrentGroupRecord(d) : nullptr;
  if (g == nullptr) return 0;
  g->space[0] = left;
  g->space[1] = top;
  g->space[2] = right;
  g->space[3] = bottom;
  return 1;
}

HostGadget* AddUserArea(HostDialog* d, int32_t id, int32_t flags, int32_t width, int32_t height) {
  if (!LiveDialog(d)) return nullptr;
  auto gadget = std::make_unique<HostGadget>();
  gadget->id = id;
  gadget->flags = flags;
  gadget->width = width;
  gadget->height = height;
  gadget->group = CurrentGroup(d);
  d->gadgets.push_back(std::move(gadget));
  return d->gadgets.back().get();
}

HostBool AttachUserArea(HostDialog* d, HostGadget* gadget, HostUserArea* area, int32_t flags) {
  if (!LiveDialog(d) || !LiveArea(area) || gadget == nullptr) return 0;
  const bool ownGadget = std::any_of(d->gadgets.begin(), d->gadgets.end(),
                                     [gadget](const std::unique_ptr<HostGadget>& g) { return g.get() == gadget; });
  if (!ownGadget || gadget->area != nullptr) return 0;
  gadget->area = area;
  gadget->attachFlags = flags;
  area->dialog = d;
  area->gadget = gadget;
  area->width = gadget->width;
  area->height = gadget->height;
  return 1;
}

HostUserArea* CreateUserArea(const HostUserAreaCallbacks* cb) {
  if (cb == nullptr) return nullptr;
  auto* a = new HostUserArea;
  a->callbacks = *cb;
  Gui().areas.push_back(a);
  ++Gui().areasCreated;
  return a;
}

void DestroyUserArea(HostUserArea* a) {
  if (!LiveArea(a)) return;
  if (a->gadget != nullptr) a->gadget->area = nullptr;
  auto& list = Gui().areas;
  list.erase(std::remove(list.begin(), list.end(), a), list.end());
  delete a;
}

int32_t UserAreaBaseMessage(HostUserArea* a, const HostContainer* msg, HostContainer*) {
  if (!LiveArea(a) || msg == nullptr) return 0;
  // The standard handling of a size change tells the area its new size.
  if (msg->id == msgSizedInfo) {
    if (a->callbacks.sized != nullptr) a->callbacks.sized(a->callbacks.self, a->width, a->height);
    return 1;
  }
  return 0;
}

void Redraw(HostUserArea* a) {
  if (!LiveArea(a)) return;
  ++a->redrawRequests;
  a->dirty = true;
}

HostBool SendParentMessage(HostUserArea* a, const HostContainer* msg) {
  if (!LiveArea(a) || msg == nullptr || a->dialog == nullptr) return 0;
  HostDialog* d = a->dialog;
  ParentMessage record{d, a->gadget != nullptr ? a->gadget->id : 0, *msg};
  d->received.push_back(record);
  Gui().messages.push_back(record);
  if (d->callbacks.message != nullptr) {
    HostContainer result;
    d->callbacks.message(d->callbacks.self, msg, &result);
  }
  return 1;
}

int32_t GetId(const HostUserArea* a) {
  return LiveArea(a) && a->gadget != nullptr ? a->gadget->id : 0;
}

void SetTimer(HostUserArea* a, int32_t milliseconds) {
  if (!LiveArea(a)) return;
  a->timerInterval = std::max(milliseconds, 0);
  a->timerDue = Gui().now + a->timerInterval;
}

HostBool GetInputState(HostUserArea* a, int32_t device, int32_t channel, HostContainer* state) {
  if (!LiveArea(a) || state == nullptr || device != deviceMouse) return 0;
  const Pointer& p = Gui().pointer;
  const bool down = channel == channelLeft ? p.left : channel == channelRight ? p.right : p.middle;
  state->SetInt(keyDevice, device);
  state->SetInt(keyChannel, channel);
  state->SetInt(keyX, p.x);
  state->SetInt(keyY, p.y);
  state->SetInt(keyValue, down ? 1 : 0);
  return 1;
}

HostBool GlobalToLocal(HostUserArea* a, int32_t* x, int32_t* y) {
  if (!LiveArea(a) || x == nullptr || y == nullptr) return 0;
  *x -= a->x;
  *y -= a->y;
  return 1;
}

void DrawBitmap(HostUserArea* a, const HostBitmap* bitmap, int32_t x, int32_t y, int32_t w, int32_t h, int32_t sx,
                int32_t sy, int32_t sw, int32_t sh, int32_t mode) {
  if (!LiveArea(a) || bitmap == nullptr) return;
  a->lastDraw.push_back(DrawCall{bitmap, x, y, w, h, sx, sy, sw, sh, mode});
  if (!bitmap->loaded) return;
  Image& target = a->offScreenOn ? a->offScreen : a->canvas;
  DrawScaled(target, bitmap->image, x, y, w, h, sx, sy, sw, sh,
             (mode & drawModeBilinear) != 0 ? Filter::Bilinear : Filter::Nearest);
}

void OffScreenOn(HostUserArea* a) {
  if (!LiveArea(a) || !a->drawing || a->offScreenOn) return;
  a->offScreenOn = true;
  a->offScreen = Image(a->width, a->height, Gui().background);
}

}  // namespace

GuiState& Gui() {
  static GuiState state;
  return state;
}

void ResetGui() {
  Gui() = GuiState();
}

void InstallGuiTables() {
  host::ProvideGuiTables(BitmapTable(), GuiTable());
}

HostUserArea* AreaAt(int32_t globalX, int32_t globalY) {
  for (HostUserArea* a : Gui().areas)
    if (a->gadget != nullptr && globalX >= a->x && globalY >= a->y && globalX < a->x + a->width &&
        globalY < a->y + a->height)
      return a;
  return nullptr;
}

void DrawArea(HostUserArea* a, bool force) {
  if (!LiveArea(a) || (!a->dirty && !force) || a->callbacks.draw == nullptr) return;
  a->dirty = false;
  if (a->canvas.Width() != a->width || a->canvas.Height() != a->height)
    a->canvas = Image(a->width, a->height, Gui().background);
  a->lastDraw.clear();
  a->drawing = true;
  a->offScreenOn = false;
  HostContainer msg;
  msg.id = msgDraw;
  a->callbacks.draw(a->callbacks.self, 0, 0, a->width - 1, a->height - 1, &msg);
  // Areas are looked up again: the draw may have destroyed this one.
  if (!LiveArea(a)) return;
  a->drawing = false;
  if (a->offScreenOn) a->canvas = a->offScreen;
  a->offScreenOn = false;
  ++a->draws;
}

void AdvanceClock(int64_t milliseconds) {
  const int64_t end = Gui().now + std::max<int64_t>(milliseconds, 0);
  for (;;) {
    HostUserArea* next = nullptr;
    for (HostUserArea* a : Gui().areas)
      if (a->timerInterval > 0 && a->timerDue <= end && (next == nullptr || a->timerDue < next->timerDue)) next = a;
    if (next == nullptr) break;
    Gui().now = next->timerDue;
    next->timerDue += next->timerInterval;
    ++next->timerTicks;
    HostContainer msg;
    msg.id = msgTimer;
    if (next->callbacks.timer != nullptr) next->callbacks.timer(next->callbacks.self, &msg);
  }
  Gui().now = end;
}

const HostGuiApi* GuiTable() {
  static const HostGuiApi table{
      CreateCustomGui,
      DestroyDialog,
      [](const HostDialog* d) -> void* { return LiveDialog(d) ? d->callbacks.self : nullptr; },
      DialogBaseMessage,
      GroupBegin,
      GroupEnd,
      GroupBorder,
      GroupBorderSpace,
      AddUserArea,
      AttachUserArea,
      CreateUserArea,
      DestroyUserArea,
      UserAreaBaseMessage,
      Redraw,
      SendParentMessage,
      GetId,
      SetTimer,
      GetInputState,
      GlobalToLocal,
      DrawBitmap,
      OffScreenOn,
  };
  return &table;
}

}  // namespace tess::gui
