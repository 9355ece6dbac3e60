// Dialogs and custom GUI controls.
#ifndef TESSALINE_HOST_C4D_GUI_H
#define TESSALINE_HOST_C4D_GUI_H

#include "host/c4d_basecontainer.h"
#include "host/c4d_string.h"

constexpr Int32 BFH_SCALEFIT = 56;
constexpr Int32 BORDER_NONE = 0;

// A dialog whose host side is made by the subclass's base constructor.
class GeDialog {
 public:
  GeDialog() = default;
  GeDialog(const GeDialog&) = delete;
  GeDialog& operator=(const GeDialog&) = delete;
  virtual ~GeDialog();

  virtual Bool CreateLayout() { return true; }
  virtual Bool InitValues() { return true; }
  virtual Bool Command(Int32 id, const BaseContainer& msg);
  virtual Int32 Message(const BaseContainer& msg, BaseContainer& result);

  Bool GroupBegin(Int32 id, Int32 flags, Int32 columns, Int32 rows, const String& title, Int32 groupFlags,
                  Int32 width = 0, Int32 height = 0);
  Bool GroupEnd();
  Bool GroupBorderNoTitle(Int32 style);
  Bool GroupBorderSpace(Int32 left, Int32 top, Int32 right, Int32 bottom);
  HostGadget* AddUserArea(Int32 id, Int32 flags, Int32 width = 0, Int32 height = 0);

  HostDialog* Get() const { return dialog; }

 protected:
  HostDialogCallbacks Callbacks();
  HostDialog* dialog = nullptr;
};

// The base of a custom GUI control's dialog. Its standard operations keep
// the host's defaults unless a control overrides them.
class iCustomGui : public GeDialog {
 public:
  iCustomGui(const BaseContainer& settings, HostPlugin* plugin);
  Int32 Message(const BaseContainer& msg, BaseContainer& result) override;

  virtual Bool SetData(const HostData*) { return false; }
  virtual Bool GetData(HostData*) { return false; }
  virtual Bool GetVisibleData(HostData*) { return false; }
  virtual void SetLayoutMode(Int32 mode) { layoutMode = mode; }
  virtual Int32 GetLayoutMode() { return layoutMode; }
  virtual Bool SupportLayoutSwitch() { return false; }
  virtual Bool SetDefaultForResEdit() { return false; }
  virtual Bool GetDefaultForResEdit(HostData*) { return false; }
  virtual void SetEnabled(Bool on) { enabled = on; }
  virtual Bool IsEnabled() { return enabled; }
  virtual void SetReadOnly(Bool on) { readOnly = on; }
  virtual Bool IsReadOnly() { return readOnly; }

 private:
  Int32 layoutMode = 0;
  Bool enabled = true;
  Bool readOnly = false;
};

// The registration object of a custom GUI.
class CustomGuiData {
 public:
  virtual ~CustomGuiData() = default;
  virtual Int32 GetId() = 0;
  virtual HostDialog* Alloc(const BaseContainer& settings) = 0;
  virtual void Free(HostDialog* dialog, void* userData) = 0;
  virtual const char* GetResourceSym() = 0;
  virtual const HostContainer* GetProperties() { return nullptr; }
  virtual Int32 GetResourceDataType(const Int32*& table) = 0;
};

constexpr Int32 CUSTOMGUI_LIBRARY_VERSION = 1000;

// Installs the standard custom GUI library under the control's id.
bool InstallCustomGuiLibrary(Int32 id);
// Registers a custom GUI; from then on the host owns the object.
bool RegisterCustomGuiPlugin(const String& name, Int32 info, CustomGuiData* object);
HostPlugin* FindCustomGuiPlugin(Int32 id);
// Forgets the library record at the module's end.
void FreeCustomGuiLibrary();

#endif
