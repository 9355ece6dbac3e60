#include "hostapp/services/descriptions.h"

#include "hostapp/services/handles.h"
#include "hostapp/services/services.h"

namespace tess::host {
namespace {

void NoteWarnings(const std::vector<std::string>& warnings) {
  for (const std::string& w : warnings) Services().console.Note("warning: " + w);
}

HostResource* LoadResource(const HostFilename* folder) {
  if (folder == nullptr || folder->path.empty()) {
    Services().console.Note("error: no module folder to load the resource from");
    return nullptr;
  }
  auto strings = resources::LoadModuleStrings(folder->path);
  NoteWarnings(strings.warnings);
  if (!strings) {
    Services().console.Note("error: " + strings.error);
    return nullptr;
  }
  return new HostResource{folder->path, std::move(*strings.value)};
}

HostString* ResourceString(const HostResource* resource, int32_t id) {
  auto* s = new HostString;
  if (resource == nullptr) return s;
  auto it = resource->strings.find(id);
  if (it != resource->strings.end()) s->text = it->second;
  return s;
}

void AddParameters(const std::vector<resources::Element>& elements, HostDescription& description) {
  for (const resources::Element& e : elements) {
    if (e.id) {
      HostContainer& c = description.parameters[*e.id];
      c.id = *e.id;
      c.SetText(descName, e.longLabel);
      c.SetText(descShortName, e.shortLabel.empty() ? e.longLabel : e.shortLabel);
      if (auto v = e.FlagNumber("MIN")) c.SetFloat(descMin, *v);
      if (auto v = e.FlagNumber("MAX")) c.SetFloat(descMax, *v);
      if (auto v = e.FlagText("UNIT")) c.SetText(descUnit, *v);
      c.SetBool(HOST_DESC_HIDE, false);
    }
    AddParameters(e.children, description);
  }
}

// True when every level of id matches the start of request.
bool IsPrefix(const HostDescId* id, const HostDescId* request) {
  if (id == nullptr || request == nullptr || id->depth <= 0 || id->depth > HOST_DESCID_LEVELS) return false;
  if (request->depth < id->depth || request->depth > HOST_DESCID_LEVELS) return false;
  for (int32_t i = 0; i < id->depth; ++i)
    if (id->levels[i].id != request->levels[i].id) return false;
  return true;
}

}  // namespace

bool Descriptions::Register(int32_t pluginId, const std::string& name, const HostResource* resource) {
  if (resource == nullptr) {
    Services().console.Note("error: description " + name + " registered without a resource");
    return false;
  }
  auto description = resources::LoadDescription(resource->folder, name);
  NoteWarnings(description.warnings);
  if (!description) {
    Services().console.Note("error: " + description.error);
    return false;
  }
  loaded[pluginId] = std::make_shared<const resources::Description>(std::move(*description.value));
  return true;
}

std::shared_ptr<const resources::Description> Descriptions::Of(int32_t pluginId) const {
  auto it = loaded.find(pluginId);
  return it != loaded.end() ? it->second : nullptr;
}

bool Descriptions::Load(HostDescription& description, int32_t pluginId) const {
  auto source = Of(pluginId);
  if (source == nullptr) return false;
  description.source = source;
  description.parameters.clear();
  AddParameters(source->items, description);
  return true;
}

const HostResourceApi* ResourceTable() {
  static const HostResourceApi table{
      LoadResource,
      ResourceString,
      [](HostResource* resource) { delete resource; },
  };
  return &table;
}

const HostDescriptionApi* DescriptionTable() {
  static const HostDescriptionApi table{
      [](int32_t pluginId, const char* name, const HostResource* resource) {
        if (name == nullptr || Services().registry.refuseDescriptions.count(pluginId) != 0) return HostBool{0};
        if (!Services().descriptions.Register(pluginId, name, resource)) return HostBool{0};
        return static_cast<HostBool>(Services().registry.RegisterDescription(pluginId, name));
      },
      [](HostDescription* description, HostNode* node) {
        return static_cast<HostBool>(description != nullptr && node != nullptr &&
                                     Services().descriptions.Load(*description, node->pluginId));
      },
      [](const HostDescription* description) -> const HostDescId* {
        return description != nullptr && description->single ? &*description->single : nullptr;
      },
      [](HostDescription* description, const HostDescId* id) -> HostContainer* {
        if (description == nullptr || id == nullptr || id->depth < 1) return nullptr;
        auto it = description->parameters.find(id->levels[0].id);
        return it != description->parameters.end() ? &it->second : nullptr;
      },
      [](const HostDescId* id, const HostDescId* request) { return static_cast<HostBool>(IsPrefix(id, request)); },
  };
  return &table;
}

}  // namespace tess::host
