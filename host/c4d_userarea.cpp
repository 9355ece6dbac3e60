#include "host/c4d_userarea.h"

namespace {

GeUserArea* AsArea(void* self) {
  return static_cast<GeUserArea*>(self);
}

HostBool InitEntry(void* self) {
  return AsArea(self)->Init() ? 1 : 0;
}
HostBool MinSizeEntry(void* self, int32_t* w, int32_t* h) {
  Int32 width = 0, height = 0;
  const bool ok = AsArea(self)->GetMinSize(width, height);
  if (w != nullptr) *w = width;
  if (h != nullptr) *h = height;
  return ok ? 1 : 0;
}
void SizedEntry(void* self, int32_t w, int32_t h) {
  AsArea(self)->Sized(w, h);
}
void DrawEntry(void* self, int32_t x1, int32_t y1, int32_t x2, int32_t y2, const HostContainer* msg) {
  AsArea(self)->DrawMsg(x1, y1, x2, y2, BaseContainer::View(const_cast<HostContainer*>(msg)));
}
HostBool InputEntry(void* self, const HostContainer* msg) {
  return AsArea(self)->InputEvent(BaseContainer::View(const_cast<HostContainer*>(msg))) ? 1 : 0;
}
void TimerEntry(void* self, const HostContainer* msg) {
  AsArea(self)->Timer(BaseContainer::View(const_cast<HostContainer*>(msg)));
}
int32_t MessageEntry(void* self, const HostContainer* msg, HostContainer* result) {
  BaseContainer r = BaseContainer::View(result);
  return AsArea(self)->Message(BaseContainer::View(const_cast<HostContainer*>(msg)), r);
}

}  // namespace

GeUserArea::GeUserArea() {
  const HostGuiApi* api = GuiApi();
  if (api == nullptr) return;
  const HostUserAreaCallbacks callbacks{this,      InitEntry,  MinSizeEntry, SizedEntry,
                                        DrawEntry, InputEntry, TimerEntry,   MessageEntry};
  area = api->createUserArea(&callbacks);
}

GeUserArea::~GeUserArea() {
  if (area != nullptr && GuiApi() != nullptr) GuiApi()->destroyUserArea(area);
}

Bool GeUserArea::GetMinSize(Int32&, Int32&) {
  return false;
}

Int32 GeUserArea::Message(const BaseContainer& msg, BaseContainer& result) {
  return area != nullptr ? GuiApi()->userAreaBaseMessage(area, msg.Handle(), result.Handle()) : 0;
}

void GeUserArea::Redraw() {
  if (area != nullptr) GuiApi()->redraw(area);
}

Bool GeUserArea::SendParentMessage(const BaseContainer& msg) {
  return area != nullptr && GuiApi()->sendParentMessage(area, msg.Handle()) != 0;
}

Int32 GeUserArea::GetId() const {
  return area != nullptr ? GuiApi()->getId(area) : 0;
}

void GeUserArea::SetTimer(Int32 milliseconds) {
  if (area != nullptr) GuiApi()->setTimer(area, milliseconds);
}

Bool GeUserArea::GetInputState(Int32 device, Int32 channel, BaseContainer& state) {
  return area != nullptr && GuiApi()->getInputState(area, device, channel, state.Handle()) != 0;
}

Bool GeUserArea::Global2Local(Int32* x, Int32* y) {
  return area != nullptr && GuiApi()->globalToLocal(area, x, y) != 0;
}

void GeUserArea::DrawBitmap(const BaseBitmap& bitmap, Int32 x, Int32 y, Int32 w, Int32 h, Int32 sx, Int32 sy, Int32 sw,
                            Int32 sh, Int32 mode) {
  if (area != nullptr && bitmap.Handle() != nullptr)
    GuiApi()->drawBitmap(area, bitmap.Handle(), x, y, w, h, sx, sy, sw, sh, mode);
}

void GeUserArea::OffScreenOn() {
  if (area != nullptr) GuiApi()->offScreenOn(area);
}

Bool AttachUserArea(GeDialog& dialog, GeUserArea& userArea, HostGadget* gadget, Int32 flags) {
  const HostGuiApi* api = GuiApi();
  return api != nullptr && dialog.Get() != nullptr && gadget != nullptr && userArea.Get() != nullptr &&
         api->attachUserArea(dialog.Get(), gadget, userArea.Get(), flags) != 0;
}
