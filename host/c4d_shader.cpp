#include "host/c4d_shader.h"

#include "host/c4d_memory.h"

namespace {

const HostResource* pluginResource = nullptr;

// The allocators of the registered shaders; a record's context points at one.
constexpr int maxShaderPlugins = 16;
ShaderAllocator allocators[maxShaderPlugins] = {};
int allocatorCount = 0;

// Entry points of the registration record: each forwards to the shader object.
ShaderData* AsShader(void* self) {
  return static_cast<ShaderData*>(self);
}

void* AllocEntry(void* context) {
  const ShaderAllocator allocate = *static_cast<const ShaderAllocator*>(context);
  return static_cast<void*>(allocate());
}

void DestroyEntry(void* self) {
  ShaderData* shader = AsShader(self);
  DeleteObj(shader);
}

HostBool InitEntry(void* self, HostNode* node) {
  GeListNode n(node);
  return AsShader(self)->Init(&n) ? 1 : 0;
}

HostBool DescriptionEntry(void* self, HostNode* node, HostDescription* description, int32_t* flags) {
  GeListNode n(node);
  Description d(description);
  Int32 f = flags != nullptr ? *flags : 0;
  const bool ok = AsShader(self)->GetDDescription(&n, &d, f);
  if (flags != nullptr) *flags = f;
  return ok ? 1 : 0;
}

HostBool EnablingEntry(void* self, HostNode* node, const HostDescId* id, const HostData* value, int32_t flags,
                       const HostContainer* itemDescription) {
  if (id == nullptr) return 1;
  GeListNode n(node);
  return AsShader(self)->GetDEnabling(&n, DescID(*id), value, flags, itemDescription) ? 1 : 0;
}

int32_t RenderInfoEntry(void* self, HostNode* node) {
  BaseShader s(node);
  return AsShader(self)->GetRenderInfo(&s);
}

int32_t InitRenderEntry(void* self, HostNode* node, const HostInitRender* setup) {
  BaseShader s(node);
  const HostInitRender none{nullptr, 0};
  return AsShader(self)->InitRender(&s, setup != nullptr ? *setup : none);
}

void FreeRenderEntry(void* self, HostNode* node) {
  BaseShader s(node);
  AsShader(self)->FreeRender(&s);
}

void OutputEntry(void* self, HostNode* node, HostChannelData* cd, HostVector* colour) {
  BaseShader s(node);
  *colour = AsShader(self)->Output(&s, cd);
}

}  // namespace

Bool ShaderData::Init(GeListNode*) {
  return true;
}
Bool ShaderData::GetDDescription(GeListNode*, Description*, Int32&) {
  return true;
}
Bool ShaderData::GetDEnabling(GeListNode*, const DescID&, const HostData*, Int32, const HostContainer*) {
  return true;
}
Int32 ShaderData::GetRenderInfo(BaseShader*) {
  return 0;
}
INITRENDERRESULT ShaderData::InitRender(BaseShader*, const InitRenderStruct&) {
  return INITRENDERRESULT_OK;
}
void ShaderData::FreeRender(BaseShader*) {}
Vector ShaderData::Output(BaseShader*, ChannelData*) {
  return Vector();
}

void SetPluginResource(const HostResource* resource) {
  pluginResource = resource;
}

void FreeShaderRegistrations() {
  pluginResource = nullptr;
  for (ShaderAllocator& a : allocators) a = nullptr;
  allocatorCount = 0;
}

bool RegisterShaderPlugin(Int32 id, const String& name, Int32 info, ShaderAllocator allocator,
                          const char* descriptionName, Int32 diskLevel) {
  const HostRegistrationApi* registration = RegistrationApi();
  const HostDescriptionApi* descriptions = DescriptionApi();
  if (registration == nullptr || descriptions == nullptr || allocator == nullptr) return false;
  if (allocatorCount == maxShaderPlugins) return false;
  if (descriptions->registerDescription(id, descriptionName, pluginResource) == 0) return false;

  HostShaderRecord record{};
  record.infoFlags = info;
  record.diskLevel = diskLevel;
  allocators[allocatorCount] = allocator;
  record.context = &allocators[allocatorCount++];
  record.alloc = AllocEntry;
  record.destroy = DestroyEntry;
  record.init = InitEntry;
  record.getDDescription = DescriptionEntry;
  record.getDEnabling = EnablingEntry;
  record.getRenderInfo = RenderInfoEntry;
  record.initRender = InitRenderEntry;
  record.freeRender = FreeRenderEntry;
  record.output = OutputEntry;
  return registration->registerPlugin(HOST_API_VERSION, HOST_PLUGINTYPE_SHADER, id, name.Handle(), &record,
                                      static_cast<int32_t>(sizeof(record))) != 0;
}

bool Description::LoadDescription(GeListNode* node) {
  const HostDescriptionApi* api = DescriptionApi();
  return api != nullptr && handle != nullptr && node != nullptr && api->load(handle, node->Handle()) != 0;
}

const DescID* Description::GetSingleDescID() const {
  const HostDescriptionApi* api = DescriptionApi();
  const HostDescId* request = api != nullptr && handle != nullptr ? api->getSingleRequest(handle) : nullptr;
  if (request == nullptr) return nullptr;
  const_cast<Description*>(this)->single = DescID(*request);
  return &single;
}

BaseContainer Description::GetParameterI(const DescID& id) {
  const HostDescriptionApi* api = DescriptionApi();
  return BaseContainer::View(api != nullptr && handle != nullptr ? api->getParameter(handle, &id.Raw()) : nullptr);
}
