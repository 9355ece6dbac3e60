#include "host/c4d_basecontainer.h"

#include <utility>

BaseContainer::BaseContainer(Int32 id)
    : handle(ContainerApi() != nullptr ? ContainerApi()->create(id) : nullptr), owned(true) {}

BaseContainer::BaseContainer(BaseContainer&& other) noexcept
    : handle(std::exchange(other.handle, nullptr)), owned(other.owned) {}

BaseContainer::~BaseContainer() {
  if (owned && handle != nullptr && ContainerApi() != nullptr) ContainerApi()->release(handle);
}

BaseContainer BaseContainer::View(HostContainer* viewed) {
  return BaseContainer(viewed, false);
}

Int32 BaseContainer::GetId() const {
  return handle != nullptr ? ContainerApi()->getId(handle) : 0;
}

Int32 BaseContainer::GetInt32(Int32 id, Int32 fallback) const {
  return handle != nullptr ? ContainerApi()->getInt32(handle, id, fallback) : fallback;
}

Float BaseContainer::GetFloat(Int32 id, Float fallback) const {
  return handle != nullptr ? ContainerApi()->getFloat(handle, id, fallback) : fallback;
}

Bool BaseContainer::GetBool(Int32 id, Bool fallback) const {
  return handle != nullptr ? ContainerApi()->getBool(handle, id, fallback ? 1 : 0) != 0 : fallback;
}

void BaseContainer::SetInt32(Int32 id, Int32 value) {
  if (handle != nullptr) ContainerApi()->setInt32(handle, id, value);
}

void BaseContainer::SetFloat(Int32 id, Float value) {
  if (handle != nullptr) ContainerApi()->setFloat(handle, id, value);
}

void BaseContainer::SetBool(Int32 id, Bool value) {
  if (handle != nullptr) ContainerApi()->setBool(handle, id, value ? 1 : 0);
}

void* BaseContainer::GetCustomDataType(Int32 id, Int32 type) const {
  return handle != nullptr ? ContainerApi()->getData(handle, id, type) : nullptr;
}

bool BaseContainer::SetCustomDataType(Int32 id, Int32 type, const void* data) {
  return handle != nullptr && ContainerApi()->setData(handle, id, type, data) != 0;
}

HostNode* BaseContainer::GetLink(Int32 id, HostDocument* document, Int32 type) const {
  return handle != nullptr ? ContainerApi()->getLink(handle, id, document, type) : nullptr;
}
