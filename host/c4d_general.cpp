#include "host/c4d_general.h"

void GePrint(const String& line) {
  const HostConsoleApi* api = ConsoleApi();
  if (api != nullptr && line.Handle() != nullptr) api->print(line.Handle());
}

Int32 GeOutString(const String& text, Int32 flags) {
  const HostOpenApi* api = OpenApi();
  return api != nullptr && text.Handle() != nullptr ? api->messageBox(text.Handle(), flags) : 0;
}

bool GeExecuteFile(const Filename& target) {
  const HostOpenApi* api = OpenApi();
  return api != nullptr && target.Handle() != nullptr && api->openFile(target.Handle()) != 0;
}

bool GeResource::Init(const Filename& moduleFolder) {
  Free();
  const HostResourceApi* api = ResourceApi();
  if (api == nullptr || moduleFolder.Handle() == nullptr) return false;
  handle = api->load(moduleFolder.Handle());
  return handle != nullptr;
}

void GeResource::Free() {
  if (handle != nullptr && ResourceApi() != nullptr) ResourceApi()->release(handle);
  handle = nullptr;
}

String GeResource::LoadString(Int32 id) const {
  const HostResourceApi* api = ResourceApi();
  if (api == nullptr || handle == nullptr) return String();
  return String::Adopt(api->getString(handle, id));
}
