// Parameter containers and the custom data they hold.
#ifndef TESSALINE_HOSTAPP_SERVICES_CONTAINER_H
#define TESSALINE_HOSTAPP_SERVICES_CONTAINER_H

#include <map>
#include <memory>
#include <string>

#include "host/c4d_host.h"

namespace tess::host {

// Data a container can hold beyond plain numbers: curves and gradients.
class CustomData {
 public:
  virtual ~CustomData() = default;
  virtual int32_t Type() const = 0;
  virtual std::unique_ptr<CustomData> Clone() const = 0;
  // The pointer the module sees for this data: its handle type, not the base.
  virtual void* Handle() = 0;
};

// Turns a module-side handle of a data type back into host data.
using DataFromHandle = const CustomData* (*)(const void* handle);
void RegisterDataType(int32_t type, DataFromHandle fromHandle);
const CustomData* DataOf(int32_t type, const void* handle);

struct Value {
  enum class Kind { Int, Float, Bool, String, Data, Link } kind = Kind::Int;
  int32_t intValue = 0;
  double floatValue = 0.0;
  std::string text;
  std::shared_ptr<CustomData> data;
  HostNode* link = nullptr;
};

const HostContainerApi* ContainerTable();

}  // namespace tess::host

struct HostContainer {
  int32_t id = 0;
  std::map<int32_t, tess::host::Value> values;

  const tess::host::Value* Find(int32_t key) const {
    auto it = values.find(key);
    return it != values.end() ? &it->second : nullptr;
  }
  void SetInt(int32_t key, int32_t v);
  void SetFloat(int32_t key, double v);
  void SetBool(int32_t key, bool v);
  void SetText(int32_t key, std::string v);
  void SetData(int32_t key, std::unique_ptr<tess::host::CustomData> v);
  void SetLink(int32_t key, HostNode* node);
};

// A node of the host's scene with its parameter container; shader nodes are
// of type 5707 and may be the module's or the host's own.
struct HostNode {
  int32_t type = HOST_TYPE_SHADER;
  int32_t pluginId = 0;
  HostContainer container;
  virtual ~HostNode() = default;
};

#endif
