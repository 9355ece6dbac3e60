#include "hostapp/services/scene.h"

#include <algorithm>

void HostSelect::Select(int32_t index) {
  if (index < 0) return;
  auto it = std::lower_bound(members.begin(), members.end(), index);
  if (it == members.end() || *it != index) members.insert(it, index);
}

void HostSelect::Deselect(int32_t index) {
  auto it = std::lower_bound(members.begin(), members.end(), index);
  if (it != members.end() && *it == index) members.erase(it);
}

void HostSelect::Assign(std::vector<int32_t> indices) {
  indices.erase(std::remove_if(indices.begin(), indices.end(), [](int32_t i) { return i < 0; }), indices.end());
  std::sort(indices.begin(), indices.end());
  indices.erase(std::unique(indices.begin(), indices.end()), indices.end());
  members = std::move(indices);
}

bool HostSelect::IsSelected(int32_t index) const {
  return std::binary_search(members.begin(), members.end(), index);
}

HostTag& HostObject::AddTag(int32_t type, std::string tagName) {
  auto tag = std::make_unique<HostTag>();
  tag->type = type;
  tag->name = std::move(tagName);
  if (type == HOST_TYPE_EDGE_SELECTION) tag->selection.emplace();
  tags.push_back(std::move(tag));
  return *tags.back();
}

HostTag& HostObject::AddEdgeSelection(std::string tagName, std::vector<int32_t> edges) {
  HostTag& tag = AddTag(HOST_TYPE_EDGE_SELECTION, std::move(tagName));
  tag.selection->Assign(std::move(edges));
  return tag;
}

HostTag* HostObject::FindTag(int32_t type, int32_t n) const {
  if (n < 0) return nullptr;
  for (const auto& tag : tags) {
    if (tag->type != type) continue;
    if (n == 0) return tag.get();
    --n;
  }
  return nullptr;
}
