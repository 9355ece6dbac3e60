#include "source/titlebar/titlebar.h"

#include "host/c4d_memory.h"

namespace {

// The control stands in a panel as a string parameter.
const Int32 supportedDataTypes[] = {HOST_DATATYPE_STRING};

}  // namespace

Int32 titlebarGUI::GetId() {
  return ID_TESSALINE_TITLEBAR;
}

HostDialog* titlebarGUI::Alloc(const BaseContainer& settings) {
  title_GuiDialog* dialog = NewObjArgs(title_GuiDialog, settings, FindCustomGuiPlugin(GetId()));
  if (dialog == nullptr) return nullptr;
  HostDialog* host = dialog->Get();
  // Without its host side the object could never be freed by the host.
  if (host == nullptr) DeleteObj(dialog);
  return host;
}

void titlebarGUI::Free(HostDialog* dialog, void* userData) {
  if (dialog == nullptr || userData == nullptr) return;
  // The host keeps the dialog's own pointer as user data, typed as its base.
  title_GuiDialog* control = static_cast<title_GuiDialog*>(static_cast<GeDialog*>(userData));
  DeleteObj(control);
}

const char* titlebarGUI::GetResourceSym() {
  return "TESSALINE_TITLEBAR";
}

Int32 titlebarGUI::GetResourceDataType(const Int32*& table) {
  table = supportedDataTypes;
  return 1;
}
