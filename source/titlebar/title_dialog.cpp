#include "source/titlebar/titlebar.h"

title_GuiDialog::title_GuiDialog(const BaseContainer& settings, HostPlugin* plugin) : iCustomGui(settings, plugin) {}

Bool title_GuiDialog::CreateLayout() {
  GroupBegin(TITLEBAR_GROUP, BFH_SCALEFIT, 1, 1, String(), 0, 0, 0);
  GroupBorderNoTitle(BORDER_NONE);
  GroupBorderSpace(0, 0, 0, 0);
  barGadget = AddUserArea(TITLEBAR_USERAREA, BFH_SCALEFIT, 0, TITLEBAR_HEIGHT + 1);
  GroupEnd();
  AttachUserArea(*this, bar, barGadget, 0);
  return true;
}

// The control shows no value, so there is nothing to set up or to react to.
Bool title_GuiDialog::InitValues() {
  return true;
}

Bool title_GuiDialog::Command(Int32, const BaseContainer&) {
  return true;
}

Int32 title_GuiDialog::Message(const BaseContainer& msg, BaseContainer& result) {
  return iCustomGui::Message(msg, result);
}
