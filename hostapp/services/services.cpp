#include "hostapp/services/services.h"

#include "hostapp/services/container.h"
#include "hostapp/services/linked.h"
#include "hostapp/services/neighbor.h"
#include "hostapp/services/render_data.h"

namespace tess::host {
namespace {

std::unique_ptr<ServiceState>& State() {
  static std::unique_ptr<ServiceState> state;
  return state;
}

// Every host call reaches the state, from many render threads: one plain
// pointer read on the way, set only while nothing else runs.
ServiceState* current = nullptr;

struct ExtraTables {
  const HostBitmapApi* bitmaps = nullptr;
  const HostGuiApi* gui = nullptr;
};

ExtraTables& Extras() {
  static ExtraTables extras;
  return extras;
}

}  // namespace

ServiceState& Services() {
  if (current == nullptr) ResetServices();
  return *current;
}

void ResetServices() {
  State() = std::make_unique<ServiceState>();
  current = State().get();
}

void ProvideGuiTables(const HostBitmapApi* bitmaps, const HostGuiApi* gui) {
  Extras().bitmaps = bitmaps;
  Extras().gui = gui;
}

HostTable MakeHostTable() {
  HostTable table{};
  table.apiVersion = HOST_API_VERSION;
  table.size = static_cast<int32_t>(sizeof(HostTable));
  table.memory = MemoryTable();
  table.strings = StringTable();
  table.resources = ResourceTable();
  table.descriptions = DescriptionTable();
  table.containers = ContainerTable();
  table.registration = RegistrationTable();
  table.render = RenderTable();
  table.neighbor = NeighborTable();
  table.linked = LinkedTable();
  table.bitmaps = Extras().bitmaps;
  table.gui = Extras().gui;
  table.filenames = FilenameTable();
  table.console = ConsoleTable();
  table.open = OpenTable();
  return table;
}

}  // namespace tess::host
