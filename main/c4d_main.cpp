// The module's one export and its module-wide state.
#include <cstdint>

#include "host/c4d_gui.h"
#include "host/c4d_memory.h"
#include "host/c4d_shader.h"
#include "main/tessaline.h"

#if defined(_WIN32)
#define TESSALINE_EXPORT __declspec(dllexport)
#else
#define TESSALINE_EXPORT __attribute__((visibility("default")))
#endif

namespace {

constexpr Int32 resultOk = 1;
constexpr Int32 resultFailed = -1;
constexpr Int32 resultBadHost = -3;
constexpr Int32 resultQuery = 5;

// Init and end nest; only the outermost pair does any work. Plain values: the
// host drives the entry point from one thread.
Int32 initCount = 0;
Filename* moduleFolder = nullptr;
GeResource resource;

Int32 SystemInit(void* table, void* path) {
  if (++initCount != 1) return resultOk;
  SetHostTable(static_cast<const HostTable*>(table));
  const HostTable* host = GetHostTable();
  if (host == nullptr || host->apiVersion < HOST_API_VERSION) return resultBadHost;
  if (path == nullptr) return resultBadHost;
  // A failed allocation leaves the folder absent; asking for it then yields an empty path.
  moduleFolder = NewObjArgs(Filename, Filename::CopyOf(static_cast<const HostFilename*>(path)));
  return resultOk;
}

Int32 SystemEnd() {
  // An end without a matching init would leave the counter negative, and the
  // next init would then set nothing up.
  if (initCount == 0) return resultOk;
  if (--initCount != 0) return resultOk;
  PluginEnd();
  FreeShaderRegistrations();
  FreeCustomGuiLibrary();
  resource.Free();
  DeleteObj(moduleFolder);
  // The table may not outlive this end; a call before the next init must not reach it.
  SetHostTable(nullptr);
  return resultOk;
}

}  // namespace

Filename GeGetPluginPath() {
  return moduleFolder != nullptr ? *moduleFolder : Filename();
}

GeResource& ModuleResource() {
  return resource;
}

extern "C" TESSALINE_EXPORT int32_t c4d_main(int32_t action, void* p1, void* p2, void* p3) {
  switch (action) {
    case HOST_ACTION_INIT:
      return SystemInit(p1, p3);
    case HOST_ACTION_START:
      return PluginStart() ? resultOk : 0;
    case HOST_ACTION_END:
      return SystemEnd();
    case HOST_ACTION_QUERY:
      return resultQuery;
    case HOST_ACTION_MESSAGE:
      return PluginMessage(static_cast<Int32>(reinterpret_cast<intptr_t>(p1)), p2) ? resultOk : resultFailed;
    default:
      return resultFailed;
  }
}
