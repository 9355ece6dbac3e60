// Scene objects as far as the renderer's callers see them: their tags and the
// edge selections those tags carry.
#ifndef TESSALINE_HOSTAPP_SERVICES_SCENE_H
#define TESSALINE_HOSTAPP_SERVICES_SCENE_H

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/c4d_host.h"

// A set of edge numbers (4 * polygon + side), kept sorted for lookups by
// binary search; lookups only read and may run on many threads at once.
struct HostSelect {
  void Select(int32_t index);
  void Deselect(int32_t index);
  // Replaces the set; duplicates collapse, negative numbers are dropped.
  void Assign(std::vector<int32_t> indices);
  void Clear() { members.clear(); }

  bool IsSelected(int32_t index) const;
  int32_t Count() const { return static_cast<int32_t>(members.size()); }
  const std::vector<int32_t>& Members() const { return members; }

 private:
  std::vector<int32_t> members;
};

struct HostTag {
  int32_t type = 0;
  std::string name;
  // Selection tags carry one; other tags have none.
  std::optional<HostSelect> selection;
};

struct HostObject {
  std::string name;
  // Owned; a tag keeps its address for the object's life, so the renderer's
  // callers can hold borrowed pointers during a render.
  std::vector<std::unique_ptr<HostTag>> tags;

  // Appends a tag; an edge-selection tag (type 5701) starts with an empty
  // selection.
  HostTag& AddTag(int32_t type, std::string tagName);
  HostTag& AddEdgeSelection(std::string tagName, std::vector<int32_t> edges);
  // The n-th tag of a type, counted from 0 among the tags of that type.
  HostTag* FindTag(int32_t type, int32_t n) const;
};

#endif
