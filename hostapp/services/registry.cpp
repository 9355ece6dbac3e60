#include "hostapp/services/registry.h"

#include <cctype>
#include <cstring>
#include <memory>

#include "hostapp/services/services.h"

namespace tess::host {

bool Registry::InstallLibrary(int32_t id, int32_t kind, const void* record, int32_t version, int32_t size) {
  if (refuseLibraries.count(id) != 0 || record == nullptr || kind != HOST_LIBRARY_KIND) return false;
  if (size != static_cast<int32_t>(sizeof(HostCustomGuiLibrary))) return false;
  libraries[id] = Library{kind, record, version, size};
  return true;
}

bool Registry::RegisterPlugin(int32_t api, int32_t type, int32_t id, const std::string& name, const void* record,
                              int32_t size) {
  attempts.push_back(id);
  if (refusePlugins.count(id) != 0 || record == nullptr || api < HOST_API_VERSION) return false;
  if (Find(id, type) != nullptr) return false;
  auto plugin = std::make_unique<HostPlugin>();
  plugin->type = type;
  plugin->id = id;
  plugin->name = name;
  if (type == HOST_PLUGINTYPE_SHADER && size == static_cast<int32_t>(sizeof(HostShaderRecord))) {
    std::memcpy(&plugin->shader, record, sizeof(HostShaderRecord));
    if (plugin->shader.alloc == nullptr || plugin->shader.destroy == nullptr) return false;
  } else if (type == HOST_PLUGINTYPE_CUSTOMGUI && size == static_cast<int32_t>(sizeof(HostCustomGuiRecord))) {
    std::memcpy(&plugin->customGui, record, sizeof(HostCustomGuiRecord));
    if (plugin->customGui.destroy == nullptr) return false;
  } else {
    return false;  // a record of a size this host does not know
  }
  auto it = descriptions.find(id);
  if (it != descriptions.end()) plugin->descriptionName = it->second;
  order.push_back(plugin.release());
  return true;
}

bool Registry::RegisterDescription(int32_t id, const std::string& name) {
  if (refuseDescriptions.count(id) != 0 || name.empty()) return false;
  descriptions[id] = name;
  return true;
}

HostPlugin* Registry::Find(int32_t id, int32_t type) {
  for (HostPlugin* p : order)
    if (p->id == id && p->type == type) return p;
  return nullptr;
}

HostPlugin* Registry::FindByName(const std::string& name) {
  for (HostPlugin* p : order)
    if (p->name == name) return p;
  return nullptr;
}

namespace {

// Letters and digits only, in lower case: "Soft Edge", "SoftEdge" and "soft_edge" are one name.
std::string Folded(const std::string& text) {
  std::string out;
  for (char c : text)
    if (std::isalnum(static_cast<unsigned char>(c)) != 0)
      out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

}  // namespace

HostPlugin* Registry::FindShader(const std::string& key) {
  const std::string wanted = Folded(key);
  for (HostPlugin* p : order) {
    if (p->type != HOST_PLUGINTYPE_SHADER) continue;
    const std::string description = Folded(p->descriptionName);
    if (Folded(p->name) == wanted || description == wanted || std::to_string(p->id) == key ||
        (description.size() > 1 && description.substr(1) == wanted))
      return p;
  }
  return nullptr;
}

std::string Registry::ShaderNames() const {
  std::string names;
  for (const HostPlugin* p : order)
    if (p->type == HOST_PLUGINTYPE_SHADER) names += (names.empty() ? "" : ", ") + p->name;
  return names;
}

const Library* Registry::FindLibrary(int32_t id) const {
  auto it = libraries.find(id);
  return it != libraries.end() ? &it->second : nullptr;
}

std::optional<std::string> Registry::DescriptionOf(int32_t id) const {
  auto it = descriptions.find(id);
  if (it == descriptions.end()) return std::nullopt;
  return it->second;
}

void Registry::Clear() {
  for (HostPlugin* p : order) {
    if (p->type == HOST_PLUGINTYPE_CUSTOMGUI && p->customGui.destroy != nullptr)
      p->customGui.destroy(p->customGui.object);
    delete p;
  }
  order.clear();
  libraries.clear();
  descriptions.clear();
}

Registry::~Registry() {
  for (HostPlugin* p : order) delete p;
}

const HostRegistrationApi* RegistrationTable() {
  static const HostRegistrationApi table{
      [](int32_t id, int32_t kind, const void* record, int32_t version, int32_t size) {
        return static_cast<HostBool>(Services().registry.InstallLibrary(id, kind, record, version, size));
      },
      [](int32_t api, int32_t type, int32_t id, const HostString* name, const void* record, int32_t size) {
        return static_cast<HostBool>(Services().registry.RegisterPlugin(api, type, id, TextOf(name), record, size));
      },
      [](int32_t id, int32_t type) { return Services().registry.Find(id, type); },
  };
  return &table;
}

}  // namespace tess::host
