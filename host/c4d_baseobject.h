// Scene objects, their tags and edge selections, as views of host data.
#ifndef TESSALINE_HOST_C4D_BASEOBJECT_H
#define TESSALINE_HOST_C4D_BASEOBJECT_H

#include "host/c4d_string.h"

constexpr Int32 Tedgeselection = HOST_TYPE_EDGE_SELECTION;

class BaseSelect {
 public:
  explicit BaseSelect(const HostSelect* h = nullptr) : handle(h) {}
  bool IsSelected(Int32 index) const { return handle != nullptr && RenderApi()->isSelected(handle, index) != 0; }
  bool IsValid() const { return handle != nullptr; }
  const HostSelect* Handle() const { return handle; }

 private:
  const HostSelect* handle;
};

class BaseTag {
 public:
  explicit BaseTag(const HostTag* h = nullptr) : handle(h) {}
  bool IsValid() const { return handle != nullptr; }
  String GetName() const { return String::Adopt(handle != nullptr ? RenderApi()->tagName(handle) : nullptr); }
  // The selection of a selection tag.
  BaseSelect GetBaseSelect() const {
    return BaseSelect(handle != nullptr ? RenderApi()->edgeSelection(handle) : nullptr);
  }

 private:
  const HostTag* handle;
};

class BaseObject {
 public:
  explicit BaseObject(const HostObject* h = nullptr) : handle(h) {}
  bool IsValid() const { return handle != nullptr; }
  // The n-th tag of a type, counted from 0 among the tags of that type.
  BaseTag GetTag(Int32 type, Int32 n) const {
    const HostRenderApi* api = RenderApi();
    return BaseTag(api != nullptr && handle != nullptr ? api->getTag(handle, type, n) : nullptr);
  }

 private:
  const HostObject* handle;
};

#endif
