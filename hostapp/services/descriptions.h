// The module's resource as the host loads it: string tables and the
// descriptions registered for its plug-ins.
#ifndef TESSALINE_HOSTAPP_SERVICES_DESCRIPTIONS_H
#define TESSALINE_HOSTAPP_SERVICES_DESCRIPTIONS_H

#include <map>
#include <memory>
#include <optional>
#include <string>

#include "host/c4d_host.h"
#include "hostapp/resources/resource_reader.h"
#include "hostapp/services/container.h"

struct HostResource {
  std::string folder;
  tess::resources::ModuleStrings strings;
};

// A node's description as the attribute panel sees it: every element's
// property container, the hide property among them.
struct HostDescription {
  std::shared_ptr<const tess::resources::Description> source;
  std::map<int32_t, HostContainer> parameters;
  std::optional<HostDescId> single;
};

namespace tess::host {

// Property keys of a parameter's container besides the hide flag.
constexpr int32_t descName = 1;
constexpr int32_t descShortName = 2;
constexpr int32_t descMin = 3;
constexpr int32_t descMax = 4;
constexpr int32_t descUnit = 5;

class Descriptions {
 public:
  // Loads and keeps the description a plug-in registers; false when it does not load.
  bool Register(int32_t pluginId, const std::string& name, const HostResource* resource);
  std::shared_ptr<const resources::Description> Of(int32_t pluginId) const;
  // Fills a description object for a node of a registered plug-in.
  bool Load(HostDescription& description, int32_t pluginId) const;

 private:
  std::map<int32_t, std::shared_ptr<const resources::Description>> loaded;
};

const HostResourceApi* ResourceTable();
const HostDescriptionApi* DescriptionTable();

}  // namespace tess::host

#endif
