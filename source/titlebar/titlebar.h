// The title bar shown at the top of the shaders' attribute panels.
#ifndef TESSALINE_SOURCE_TITLEBAR_TITLEBAR_H
#define TESSALINE_SOURCE_TITLEBAR_TITLEBAR_H

#include "host/c4d_gui.h"

constexpr Int32 ID_TESSALINE_TITLEBAR = 1020977;

// The registration object of the title bar's custom GUI; it holds no data.
class titlebarGUI : public CustomGuiData {
 public:
  Int32 GetId() override;
  HostDialog* Alloc(const BaseContainer& settings) override;
  void Free(HostDialog* dialog, void* userData) override;
  const char* GetResourceSym() override;
  Int32 GetResourceDataType(const Int32*& table) override;
};

#endif
