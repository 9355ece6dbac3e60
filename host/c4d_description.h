// Parameter ids and descriptions of a node's attribute panel.
#ifndef TESSALINE_HOST_C4D_DESCRIPTION_H
#define TESSALINE_HOST_C4D_DESCRIPTION_H

#include "host/c4d_basecontainer.h"

constexpr Int32 DTYPE_GROUP = 1;
constexpr Int32 DESC_HIDE = HOST_DESC_HIDE;
constexpr Int32 DESCFLAGS_DESC_LOADED = HOST_DESCFLAGS_LOADED;

struct DescLevel {
  Int32 id;
  Int32 dtype;
  Int32 creator;
  constexpr DescLevel(Int32 i, Int32 t = 0, Int32 c = 0) : id(i), dtype(t), creator(c) {}  // NOLINT
};

class DescID {
 public:
  DescID(const DescLevel& level) : raw{} {  // NOLINT: a level is an id of depth 1
    raw.depth = 1;
    raw.levels[0] = HostDescLevel{level.id, level.dtype, level.creator};
  }
  explicit DescID(const HostDescId& id) : raw(id) {}
  // The first level's id; 0 for an empty id.
  Int32 FirstId() const { return raw.depth > 0 ? raw.levels[0].id : 0; }
  // True when this id starts with the other, the host's prefix test.
  bool IsPartOf(const DescID& other) const {
    const HostDescriptionApi* api = DescriptionApi();
    return api != nullptr && api->isPartOf(&raw, &other.raw) != 0;
  }
  const HostDescId& Raw() const { return raw; }

 private:
  HostDescId raw;
};

class GeListNode;

class Description {
 public:
  explicit Description(HostDescription* h) : handle(h) {}
  // Loads the description registered for the node's type.
  bool LoadDescription(GeListNode* node);
  // The one parameter the host asks about, or null for the whole panel.
  const DescID* GetSingleDescID() const;
  // The parameter's property container; invalid when the description lacks it.
  BaseContainer GetParameterI(const DescID& id);

 private:
  HostDescription* handle;
  DescID single = DescLevel(0);
};

#endif
