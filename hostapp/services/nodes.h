// Shader nodes of the host's scene: nodes of the module's registered shaders,
// which the host drives through their registration records, and the host's
// own built-in shaders, which a module shader can link to.
#ifndef TESSALINE_HOSTAPP_SERVICES_NODES_H
#define TESSALINE_HOSTAPP_SERVICES_NODES_H

#include <memory>
#include <string>
#include <utility>

#include "host/c4d_host.h"
#include "hostapp/services/container.h"
#include "hostapp/services/registry.h"

namespace tess::host {

// A shader node whose behaviour the renderer can prepare, sample and release.
class ShaderNode : public HostNode {
 public:
  virtual std::string Name() const = 0;
  virtual int32_t InitRender(const HostInitRender& setup) = 0;
  // Called from many render threads at once after InitRender.
  virtual HostVector Sample(HostChannelData* cd) = 0;
  virtual void FreeRender() = 0;
};

// A node of a plug-in shader: the module's object behind it is made by the
// record's allocation function and destroyed with the node.
class PluginNode : public ShaderNode {
 public:
  // Allocates the module's object and runs its Init; null when allocation fails.
  static std::unique_ptr<PluginNode> Create(const HostPlugin& plugin);
  ~PluginNode() override;

  std::string Name() const override { return plugin.name; }
  int32_t InitRender(const HostInitRender& setup) override;
  HostVector Sample(HostChannelData* cd) override;
  void FreeRender() override;
  // The node's attribute panel: its description with the module's adjustments.
  bool GetDescription(HostDescription& description, int32_t* flags);
  bool IsEnabled(const HostDescId& id);
  int32_t RenderInfo();
  const HostPlugin& Plugin() const { return plugin; }

 private:
  explicit PluginNode(HostPlugin p) : plugin(std::move(p)) {}
  HostPlugin plugin;
  void* instance = nullptr;
};

// The host's own shaders: their settings are plain members, and they have
// nothing to prepare or release.
class BuiltinShader : public ShaderNode {
 public:
  int32_t InitRender(const HostInitRender&) override { return HOST_INITRENDER_OK; }
  void FreeRender() override {}
};

class ConstantShader : public BuiltinShader {
 public:
  explicit ConstantShader(HostVector c) : colour(c) {}
  std::string Name() const override { return "color"; }
  HostVector Sample(HostChannelData*) override { return colour; }
  HostVector colour;
};

// Alternating cubes of two colours in the space of the shaded points.
class CheckerShader : public BuiltinShader {
 public:
  std::string Name() const override { return "checkerboard"; }
  HostVector Sample(HostChannelData* cd) override;
  HostVector colour1{0, 0, 0};
  HostVector colour2{1, 1, 1};
  double size = 1.0;
};

// Smooth 3D value noise between two colours.
class NoiseShader : public BuiltinShader {
 public:
  std::string Name() const override { return "noise"; }
  HostVector Sample(HostChannelData* cd) override;
  HostVector colour1{0, 0, 0};
  HostVector colour2{1, 1, 1};
  double scale = 1.0;
  uint32_t seed = 0;
};

// The point a linked shader is evaluated at: the hit point when there is one,
// else the channel's texture coordinates.
HostVector ShadingPoint(const HostChannelData* cd);
// 3D value noise in [0, 1], smooth, deterministic for a seed.
double ValueNoise(double x, double y, double z, uint32_t seed);

}  // namespace tess::host

#endif
