// Registration of the module's three plug-ins.
#include "host/c4d_gui.h"
#include "host/c4d_memory.h"
#include "host/c4d_shader.h"
#include "main/tessaline.h"
#include "source/drawedge/drawedge.h"
#include "source/softedge/softedge.h"
#include "source/titlebar/titlebar.h"

namespace {

constexpr Int32 titlebarInfo = 0x20000000;
constexpr Int32 shaderInfo = 0;
constexpr Int32 diskLevel = 0;
constexpr Int32 idsSoftEdge = 10001;
constexpr Int32 idsDrawEdge = 10002;

bool RegisterShader(Int32 id, Int32 nameId, ShaderAllocator allocator, const char* description) {
  const String name = ModuleResource().LoadString(nameId);
  if (name.IsEmpty()) return false;
  SetPluginResource(ModuleResource().Handle());
  return RegisterShaderPlugin(id, name, shaderInfo, allocator, description, diskLevel);
}

}  // namespace

bool RegisterTitlebarGui() {
  if (!InstallCustomGuiLibrary(ID_TITLEBAR_GUI)) return false;
  titlebarGUI* gui = NewObj(titlebarGUI);
  if (gui == nullptr) return false;
  return RegisterCustomGuiPlugin(String("Tessaline-Titlebar"), titlebarInfo, gui);
}

bool RegisterSoftEdge() {
  return RegisterShader(ID_SOFTEDGE, idsSoftEdge, SoftEdge::Alloc, "xsoftedge");
}

bool RegisterDrawEdge() {
  return RegisterShader(ID_DRAWEDGE, idsDrawEdge, DrawEdge::Alloc, "xdrawedge");
}
