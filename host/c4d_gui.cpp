#include "host/c4d_gui.h"

#include <cstring>

#include "host/c4d_memory.h"

namespace {

// Stays valid while the host keeps the library installed.
HostCustomGuiLibrary customGuiLibrary;

GeDialog* AsDialog(void* self) {
  return static_cast<GeDialog*>(self);
}

iCustomGui* ControlOf(HostDialog* dialog) {
  const HostGuiApi* api = GuiApi();
  if (api == nullptr || dialog == nullptr) return nullptr;
  return static_cast<iCustomGui*>(AsDialog(api->dialogSelf(dialog)));
}

HostBool CreateLayoutEntry(void* self) {
  return AsDialog(self)->CreateLayout() ? 1 : 0;
}
HostBool InitValuesEntry(void* self) {
  return AsDialog(self)->InitValues() ? 1 : 0;
}
HostBool CommandEntry(void* self, int32_t id, const HostContainer* msg) {
  return AsDialog(self)->Command(id, BaseContainer::View(const_cast<HostContainer*>(msg))) ? 1 : 0;
}
int32_t MessageEntry(void* self, const HostContainer* msg, HostContainer* result) {
  BaseContainer r = BaseContainer::View(result);
  return AsDialog(self)->Message(BaseContainer::View(const_cast<HostContainer*>(msg)), r);
}

// The library's entries: each reaches the control behind a host dialog.
template <typename R, typename F>
R OnControl(HostDialog* dialog, R fallback, F call) {
  iCustomGui* control = ControlOf(dialog);
  return control != nullptr ? call(control) : fallback;
}

void FillLibrary(HostCustomGuiLibrary& lib) {
  lib.setData = [](HostDialog* d, const HostData* v) {
    return OnControl<HostBool>(d, 0, [v](iCustomGui* c) { return c->SetData(v) ? 1 : 0; });
  };
  lib.getData = [](HostDialog* d, HostData* v) {
    return OnControl<HostBool>(d, 0, [v](iCustomGui* c) { return c->GetData(v) ? 1 : 0; });
  };
  lib.getVisibleData = [](HostDialog* d, HostData* v) {
    return OnControl<HostBool>(d, 0, [v](iCustomGui* c) { return c->GetVisibleData(v) ? 1 : 0; });
  };
  lib.setLayoutMode = [](HostDialog* d, int32_t mode) {
    OnControl<int>(d, 0, [mode](iCustomGui* c) { return c->SetLayoutMode(mode), 0; });
  };
  lib.getLayoutMode = [](HostDialog* d) {
    return OnControl<int32_t>(d, 0, [](iCustomGui* c) { return c->GetLayoutMode(); });
  };
  lib.supportLayoutSwitch = [](HostDialog* d) {
    return OnControl<HostBool>(d, 0, [](iCustomGui* c) { return c->SupportLayoutSwitch() ? 1 : 0; });
  };
  lib.setDefaultForResEdit = [](HostDialog* d) {
    return OnControl<HostBool>(d, 0, [](iCustomGui* c) { return c->SetDefaultForResEdit() ? 1 : 0; });
  };
  lib.getDefaultForResEdit = [](HostDialog* d, HostData* v) {
    return OnControl<HostBool>(d, 0, [v](iCustomGui* c) { return c->GetDefaultForResEdit(v) ? 1 : 0; });
  };
  lib.setEnabled = [](HostDialog* d, HostBool on) {
    OnControl<int>(d, 0, [on](iCustomGui* c) { return c->SetEnabled(on != 0), 0; });
  };
  lib.isEnabled = [](HostDialog* d) {
    return OnControl<HostBool>(d, 0, [](iCustomGui* c) { return c->IsEnabled() ? 1 : 0; });
  };
  lib.setReadOnly = [](HostDialog* d, HostBool on) {
    OnControl<int>(d, 0, [on](iCustomGui* c) { return c->SetReadOnly(on != 0), 0; });
  };
  lib.isReadOnly = [](HostDialog* d) {
    return OnControl<HostBool>(d, 0, [](iCustomGui* c) { return c->IsReadOnly() ? 1 : 0; });
  };
}

CustomGuiData* AsGui(void* object) {
  return static_cast<CustomGuiData*>(object);
}

void DestroyGuiEntry(void* object) {
  CustomGuiData* gui = AsGui(object);
  DeleteObj(gui);
}
HostDialog* AllocGuiEntry(void* object, const HostContainer* settings) {
  return AsGui(object)->Alloc(BaseContainer::View(const_cast<HostContainer*>(settings)));
}
void FreeGuiEntry(void* object, HostDialog* dialog, void* userData) {
  AsGui(object)->Free(dialog, userData);
}
const char* ResourceSymEntry(void* object) {
  return AsGui(object)->GetResourceSym();
}
const HostContainer* PropertiesEntry(void* object) {
  return AsGui(object)->GetProperties();
}
int32_t DataTypeEntry(void* object, const int32_t** table) {
  const Int32* types = nullptr;
  const Int32 count = AsGui(object)->GetResourceDataType(types);
  if (table != nullptr) *table = types;
  return count;
}

}  // namespace

GeDialog::~GeDialog() {
  if (dialog != nullptr && GuiApi() != nullptr) GuiApi()->destroyDialog(dialog);
}

Bool GeDialog::Command(Int32, const BaseContainer&) {
  return true;
}
Int32 GeDialog::Message(const BaseContainer&, BaseContainer&) {
  return 0;
}

HostDialogCallbacks GeDialog::Callbacks() {
  return HostDialogCallbacks{this, CreateLayoutEntry, InitValuesEntry, CommandEntry, MessageEntry};
}

Bool GeDialog::GroupBegin(Int32 id, Int32 flags, Int32 columns, Int32 rows, const String& title, Int32 groupFlags,
                          Int32 width, Int32 height) {
  return dialog != nullptr &&
         GuiApi()->groupBegin(dialog, id, flags, columns, rows, title.Handle(), groupFlags, width, height) != 0;
}
Bool GeDialog::GroupEnd() {
  return dialog != nullptr && GuiApi()->groupEnd(dialog) != 0;
}
Bool GeDialog::GroupBorderNoTitle(Int32 style) {
  return dialog != nullptr && GuiApi()->groupBorder(dialog, style) != 0;
}
Bool GeDialog::GroupBorderSpace(Int32 left, Int32 top, Int32 right, Int32 bottom) {
  return dialog != nullptr && GuiApi()->groupBorderSpace(dialog, left, top, right, bottom) != 0;
}
HostGadget* GeDialog::AddUserArea(Int32 id, Int32 flags, Int32 width, Int32 height) {
  return dialog != nullptr ? GuiApi()->addUserArea(dialog, id, flags, width, height) : nullptr;
}

iCustomGui::iCustomGui(const BaseContainer& settings, HostPlugin* plugin) {
  const HostGuiApi* api = GuiApi();
  if (api == nullptr) return;
  const HostDialogCallbacks callbacks = Callbacks();
  dialog = api->createCustomGui(settings.Handle(), plugin, &callbacks);
}

Int32 iCustomGui::Message(const BaseContainer& msg, BaseContainer& result) {
  const HostGuiApi* api = GuiApi();
  return api != nullptr && dialog != nullptr ? api->dialogBaseMessage(dialog, msg.Handle(), result.Handle()) : 0;
}

bool InstallCustomGuiLibrary(Int32 id) {
  std::memset(&customGuiLibrary, 0, sizeof(customGuiLibrary));
  FillLibrary(customGuiLibrary);
  const HostRegistrationApi* api = RegistrationApi();
  return api != nullptr && api->installLibrary(id, HOST_LIBRARY_KIND, &customGuiLibrary, CUSTOMGUI_LIBRARY_VERSION,
                                               static_cast<int32_t>(sizeof(customGuiLibrary))) != 0;
}

void FreeCustomGuiLibrary() {
  std::memset(&customGuiLibrary, 0, sizeof(customGuiLibrary));
}

bool RegisterCustomGuiPlugin(const String& name, Int32 info, CustomGuiData* object) {
  const HostRegistrationApi* api = RegistrationApi();
  if (api == nullptr || object == nullptr) return false;
  HostCustomGuiRecord record{};
  record.infoFlags = info;
  record.object = object;
  record.destroy = DestroyGuiEntry;
  record.alloc = AllocGuiEntry;
  record.free = FreeGuiEntry;
  record.getResourceSym = ResourceSymEntry;
  record.getProperties = PropertiesEntry;
  record.getResourceDataType = DataTypeEntry;
  const bool taken = api->registerPlugin(HOST_API_VERSION, HOST_PLUGINTYPE_CUSTOMGUI, object->GetId(), name.Handle(),
                                         &record, static_cast<int32_t>(sizeof(record))) != 0;
  // A host that refuses the registration does not take the object either.
  if (!taken) DeleteObj(object);
  return taken;
}

HostPlugin* FindCustomGuiPlugin(Int32 id) {
  const HostRegistrationApi* api = RegistrationApi();
  return api != nullptr ? api->findPlugin(id, HOST_PLUGINTYPE_CUSTOMGUI) : nullptr;
}
