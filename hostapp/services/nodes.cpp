#include "hostapp/services/nodes.h"

#include <cmath>
#include <cstdint>

#include "hostapp/services/descriptions.h"
#include "hostapp/services/services.h"

namespace tess::host {
namespace {

double Fade(double t) {
  return t * t * (3.0 - 2.0 * t);
}

double Lattice(int64_t x, int64_t y, int64_t z, uint32_t seed) {
  uint64_t h = static_cast<uint64_t>(x) * 0x9E3779B97F4A7C15ull ^ static_cast<uint64_t>(y) * 0xC2B2AE3D27D4EB4Full ^
               static_cast<uint64_t>(z) * 0x165667B19E3779F9ull ^ seed;
  h ^= h >> 33;
  h *= 0xFF51AFD7ED558CCDull;
  h ^= h >> 33;
  return static_cast<double>(h >> 11) / static_cast<double>(1ull << 53);
}

double Mix(double a, double b, double t) {
  return a + (b - a) * t;
}

HostVector MixColour(const HostVector& a, const HostVector& b, double t) {
  return HostVector{Mix(a.x, b.x, t), Mix(a.y, b.y, t), Mix(a.z, b.z, t)};
}

// Coordinates too large for a lattice index would overflow the conversion.
bool Usable(double v) {
  return std::isfinite(v) && std::fabs(v) < 1e15;
}

}  // namespace

HostVector ShadingPoint(const HostChannelData* cd) {
  if (cd == nullptr) return HostVector{0, 0, 0};
  return cd->vd != nullptr ? cd->vd->point : cd->uvw;
}

double ValueNoise(double x, double y, double z, uint32_t seed) {
  if (!Usable(x) || !Usable(y) || !Usable(z)) return 0.0;
  const double fx = std::floor(x), fy = std::floor(y), fz = std::floor(z);
  const auto ix = static_cast<int64_t>(fx), iy = static_cast<int64_t>(fy), iz = static_cast<int64_t>(fz);
  const double tx = Fade(x - fx), ty = Fade(y - fy), tz = Fade(z - fz);
  double plane[2];
  for (int dz = 0; dz < 2; ++dz) {
    const double a = Mix(Lattice(ix, iy, iz + dz, seed), Lattice(ix + 1, iy, iz + dz, seed), tx);
    const double b = Mix(Lattice(ix, iy + 1, iz + dz, seed), Lattice(ix + 1, iy + 1, iz + dz, seed), tx);
    plane[dz] = Mix(a, b, ty);
  }
  return Mix(plane[0], plane[1], tz);
}

HostVector CheckerShader::Sample(HostChannelData* cd) {
  const HostVector p = ShadingPoint(cd);
  const double s = size > 0.0 ? size : 1.0;
  if (!Usable(p.x / s) || !Usable(p.y / s) || !Usable(p.z / s)) return colour1;
  const int64_t sum = static_cast<int64_t>(std::floor(p.x / s)) + static_cast<int64_t>(std::floor(p.y / s)) +
                      static_cast<int64_t>(std::floor(p.z / s));
  return (sum & 1) == 0 ? colour1 : colour2;
}

HostVector NoiseShader::Sample(HostChannelData* cd) {
  const HostVector p = ShadingPoint(cd);
  return MixColour(colour1, colour2, ValueNoise(p.x * scale, p.y * scale, p.z * scale, seed));
}

std::unique_ptr<PluginNode> PluginNode::Create(const HostPlugin& plugin) {
  if (plugin.type != HOST_PLUGINTYPE_SHADER || plugin.shader.alloc == nullptr) return nullptr;
  std::unique_ptr<PluginNode> node(new PluginNode(plugin));
  node->type = HOST_TYPE_SHADER;
  node->pluginId = plugin.id;
  node->instance = plugin.shader.alloc(plugin.shader.context);
  if (node->instance == nullptr) return nullptr;
  if (plugin.shader.init != nullptr) plugin.shader.init(node->instance, node.get());
  return node;
}

PluginNode::~PluginNode() {
  if (instance != nullptr) plugin.shader.destroy(instance);
}

int32_t PluginNode::InitRender(const HostInitRender& setup) {
  return plugin.shader.initRender != nullptr ? plugin.shader.initRender(instance, this, &setup) : HOST_INITRENDER_OK;
}

HostVector PluginNode::Sample(HostChannelData* cd) {
  HostVector colour{0, 0, 0};
  if (plugin.shader.output != nullptr) plugin.shader.output(instance, this, cd, &colour);
  return colour;
}

void PluginNode::FreeRender() {
  if (plugin.shader.freeRender != nullptr) plugin.shader.freeRender(instance, this);
}

bool PluginNode::GetDescription(HostDescription& description, int32_t* flags) {
  if (plugin.shader.getDDescription != nullptr)
    return plugin.shader.getDDescription(instance, this, &description, flags) != 0;
  return Services().descriptions.Load(description, pluginId);
}

bool PluginNode::IsEnabled(const HostDescId& id) {
  if (plugin.shader.getDEnabling == nullptr) return true;
  return plugin.shader.getDEnabling(instance, this, &id, nullptr, 0, nullptr) != 0;
}

int32_t PluginNode::RenderInfo() {
  return plugin.shader.getRenderInfo != nullptr ? plugin.shader.getRenderInfo(instance, this) : 0;
}

}  // namespace tess::host
