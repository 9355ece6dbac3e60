// The plug-in registry: function libraries, registered plug-ins and the
// descriptions registered for them.
#ifndef TESSALINE_HOSTAPP_SERVICES_REGISTRY_H
#define TESSALINE_HOSTAPP_SERVICES_REGISTRY_H

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "host/c4d_host.h"

struct HostPlugin {
  int32_t type = 0;
  int32_t id = 0;
  std::string name;
  HostShaderRecord shader{};        // when type is a shader
  HostCustomGuiRecord customGui{};  // when type is a custom GUI
  std::string descriptionName;      // registered for this id, if any
};

namespace tess::host {

struct Library {
  int32_t kind = 0;
  const void* record = nullptr;
  int32_t version = 0;
  int32_t size = 0;
};

class Registry {
 public:
  bool InstallLibrary(int32_t id, int32_t kind, const void* record, int32_t version, int32_t size);
  bool RegisterPlugin(int32_t api, int32_t type, int32_t id, const std::string& name, const void* record, int32_t size);
  bool RegisterDescription(int32_t id, const std::string& name);
  HostPlugin* Find(int32_t id, int32_t type);
  HostPlugin* FindByName(const std::string& name);
  // A shader by its display name ("Soft Edge", "SoftEdge", "soft_edge"), its
  // description's name with or without the leading x ("xsoftedge",
  // "softedge") or its id, ignoring case, blanks and punctuation.
  HostPlugin* FindShader(const std::string& key);
  // The registered shaders' names, for messages.
  std::string ShaderNames() const;
  const std::vector<HostPlugin*>& Plugins() const { return order; }
  const Library* FindLibrary(int32_t id) const;
  std::optional<std::string> DescriptionOf(int32_t id) const;

  // Destroys the registration objects the host owns and forgets everything.
  void Clear();
  ~Registry();

  // Fault injection for tests and the command line.
  std::set<int32_t> refuseLibraries;
  std::set<int32_t> refusePlugins;
  std::set<int32_t> refuseDescriptions;
  // Every registration attempt's plug-in id, refused ones included.
  std::vector<int32_t> attempts;

 private:
  std::map<int32_t, Library> libraries;
  std::map<int32_t, std::string> descriptions;
  std::vector<HostPlugin*> order;
};

const HostRegistrationApi* RegistrationTable();

}  // namespace tess::host

#endif
