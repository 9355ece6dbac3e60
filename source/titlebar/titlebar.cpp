#include "source/titlebar/titlebar.h"

namespace {

// The control stands in a panel as a string parameter.
const Int32 supportedDataTypes[] = {HOST_DATATYPE_STRING};

}  // namespace

Int32 titlebarGUI::GetId() { return ID_TESSALINE_TITLEBAR; }

HostDialog* titlebarGUI::Alloc(const BaseContainer&) { return nullptr; }

void titlebarGUI::Free(HostDialog*, void*) {}

const char* titlebarGUI::GetResourceSym() { return "TESSALINE_TITLEBAR"; }

Int32 titlebarGUI::GetResourceDataType(const Int32*& table) {
  table = supportedDataTypes;
  return 1;
}
