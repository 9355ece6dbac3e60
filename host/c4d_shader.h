// Nodes, linked shaders and the base class of the module's shaders.
#ifndef TESSALINE_HOST_C4D_SHADER_H
#define TESSALINE_HOST_C4D_SHADER_H

#include "host/c4d_basecontainer.h"
#include "host/c4d_description.h"
#include "host/c4d_string.h"
#include "host/c4d_render.h"

constexpr Int32 Xbase = HOST_TYPE_SHADER;

// A node of the host's scene: a shader node with its parameter container.
class GeListNode {
 public:
  explicit GeListNode(HostNode* h) : handle(h) {}
  BaseContainer GetDataInstance() const {
    const HostContainerApi* api = ContainerApi();
    return BaseContainer::View(api != nullptr && handle != nullptr ? api->ofNode(handle) : nullptr);
  }
  HostNode* Handle() const { return handle; }

 protected:
  HostNode* handle;
};

// A shader node that another shader links to and samples.
class BaseShader : public GeListNode {
 public:
  explicit BaseShader(HostNode* h = nullptr) : GeListNode(h) {}
  bool IsValid() const { return handle != nullptr; }
  INITRENDERRESULT InitRender(const InitRenderStruct& setup) { return LinkedApi()->shaderInitRender(handle, &setup); }
  Vector Sample(ChannelData* cd) {
    HostVector colour{0.0, 0.0, 0.0};
    LinkedApi()->shaderSample(handle, cd, &colour);
    return colour;
  }
  void FreeRender() { LinkedApi()->shaderFreeRender(handle); }
};

// The base of a channel shader; the host reaches it through its registration.
class ShaderData {
 public:
  virtual ~ShaderData() = default;
  virtual Bool Init(GeListNode* node);
  virtual Bool GetDDescription(GeListNode* node, Description* description, Int32& flags);
  virtual Bool GetDEnabling(GeListNode* node, const DescID& id, const HostData* value, Int32 flags,
                            const HostContainer* itemDescription);
  virtual Int32 GetRenderInfo(BaseShader* shader);
  virtual INITRENDERRESULT InitRender(BaseShader* shader, const InitRenderStruct& setup);
  virtual void FreeRender(BaseShader* shader);
  virtual Vector Output(BaseShader* shader, ChannelData* cd);
};

using ShaderAllocator = ShaderData* (*)();

// Registers the description resource under the id, then the shader itself.
bool RegisterShaderPlugin(Int32 id, const String& name, Int32 info, ShaderAllocator allocator,
                          const char* descriptionName, Int32 diskLevel);

// The module's resource, which the descriptions are registered from.
void SetPluginResource(const HostResource* resource);
// Forgets the registrations' module-wide data at the module's end.
void FreeShaderRegistrations();

#endif
