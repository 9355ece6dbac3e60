// Start, messages and end of the module.
#include "main/tessaline.h"

namespace {

constexpr Int32 msgResource = HOST_MSG_RESOURCE;
constexpr Int32 msgAcknowledged = 1001;

// A repeated resource message answers as the first one did.
bool resourceAsked = false;
bool resourceLoaded = false;

}  // namespace

bool PluginStart() {
  RegisterTitlebarGui();  // the shaders work without their title bar
  if (!RegisterSoftEdge()) return false;
  if (!RegisterDrawEdge()) return false;
  PrintBanner(String("Tessaline"));
  return true;
}

bool PluginMessage(Int32 id, void*) {
  switch (id) {
    case 0:
    case msgAcknowledged:
      return true;
    case msgResource:
      if (!resourceAsked) {
        resourceAsked = true;
        resourceLoaded = ModuleResource().Init(GeGetPluginPath());
      }
      return resourceLoaded;
    default:
      return false;
  }
}

void PluginEnd() {
  resourceAsked = false;
  resourceLoaded = false;
}
