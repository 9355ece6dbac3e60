// The stand-in host's services behind the function tables. One state object
// is current at a time; tests make a fresh one per case.
#ifndef TESSALINE_HOSTAPP_SERVICES_SERVICES_H
#define TESSALINE_HOSTAPP_SERVICES_SERVICES_H

#include <memory>
#include <string>

#include "host/c4d_host.h"
#include "hostapp/services/console.h"
#include "hostapp/services/descriptions.h"
#include "hostapp/services/memory.h"
#include "hostapp/services/registry.h"

namespace tess::host {

struct ServiceState {
  MemoryService memory;
  Console console;
  Registry registry;
  Descriptions descriptions;
};

// The current state; made on first use.
ServiceState& Services();
// Replaces the current state with a fresh one.
void ResetServices();

// Groups that live outside the standard-library services (bitmaps and
// dialogs need image libraries); null until someone provides them.
void ProvideGuiTables(const HostBitmapApi* bitmaps, const HostGuiApi* gui);

// The table handed to a module at system init, with every group this host has.
HostTable MakeHostTable();

const HostStringApi* StringTable();
const HostFilenameApi* FilenameTable();
const HostConsoleApi* ConsoleTable();
const HostOpenApi* OpenTable();

std::string TextOf(const HostString* s);
std::string PathOf(const HostFilename* f);
HostFilename* NewFilename(const std::string& path);
void ReleaseFilename(HostFilename* f);

}  // namespace tess::host

#endif
