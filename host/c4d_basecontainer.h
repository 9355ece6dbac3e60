// The host's keyed parameter container.
#ifndef TESSALINE_HOST_C4D_BASECONTAINER_H
#define TESSALINE_HOST_C4D_BASECONTAINER_H

#include "host/c4d_api.h"

class BaseContainer {
 public:
  // A new container of its own, released with this object.
  explicit BaseContainer(Int32 id = 0);
  BaseContainer(const BaseContainer&) = delete;
  BaseContainer& operator=(const BaseContainer&) = delete;
  BaseContainer(BaseContainer&& other) noexcept;
  ~BaseContainer();

  // A view of a container that belongs to the host.
  static BaseContainer View(HostContainer* viewed);

  Int32 GetId() const;
  Int32 GetInt32(Int32 id, Int32 fallback = 0) const;
  Float GetFloat(Int32 id, Float fallback = 0.0) const;
  Bool GetBool(Int32 id, Bool fallback = false) const;
  void SetInt32(Int32 id, Int32 value);
  void SetFloat(Int32 id, Float value);
  void SetBool(Int32 id, Bool value);
  // Custom data of a data type, owned by the container; null when absent.
  void* GetCustomDataType(Int32 id, Int32 type) const;
  // Stores a copy of custom data.
  bool SetCustomDataType(Int32 id, Int32 type, const void* data);
  HostNode* GetLink(Int32 id, HostDocument* document, Int32 type) const;

  bool IsValid() const { return handle != nullptr; }
  HostContainer* Handle() const { return handle; }

 private:
  BaseContainer(HostContainer* viewed, bool owning) : handle(viewed), owned(owning) {}

  HostContainer* handle;
  bool owned;
};

#endif
