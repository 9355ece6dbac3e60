#include "hostapp/render/channels.h"

#include "hostapp/assets/vec.h"

namespace tess::render {
namespace {

double Height(const HostVector& c) {
  return (c.x + c.y + c.z) / 3.0;
}

// A bump direction made perpendicular to the normal, so that tilting never
// lengthens the normal along itself.
Vec Tangent(const Vec& direction, const Vec& n) {
  return Normalize(direction - n * Dot(direction, n));
}

}  // namespace

HostVector SampleChannel(const Channel& channel, HostVolumeData& vd, int32_t flags) {
  HostChannelData cd{};
  cd.uvw = HostVector{0, 0, 0};
  cd.normal = vd.normal;
  cd.flags = flags;
  cd.vd = &vd;
  return channel.shader->Sample(&cd);
}

HostVector DecodeNormal(const HostVector& c) {
  return {2.0 * c.x - 1.0, 2.0 * c.y - 1.0, 1.0 - 2.0 * c.z};
}

HostVector ApplyNormalChannels(const Material& material, HostVolumeData& vd) {
  Vec n = vd.normal;
  if (material.normal.shader != nullptr) {
    const Vec decoded = DecodeNormal(SampleChannel(material.normal, vd, ChannelFlags(HOST_CHANNEL_NORMAL, 0)));
    const Vec blended = Normalize(n + (decoded - n) * material.normal.strength);
    if (Length(blended) > 0.0) n = blended;
  }
  if (material.bump.shader != nullptr) {
    double h[4];
    for (int32_t k = 0; k < 4; ++k) h[k] = Height(SampleChannel(material.bump, vd, ChannelFlags(HOST_CHANNEL_BUMP, k)));
    const Vec tilt = Tangent(vd.bumpU, n) * (h[1] - h[0]) + Tangent(vd.bumpV, n) * (h[3] - h[2]);
    const Vec bumped = Normalize(n - tilt * material.bump.strength);
    if (Length(bumped) > 0.0) n = bumped;
  }
  return n;
}

HostVector Albedo(const Material& material, HostVolumeData& vd) {
  if (material.color.shader == nullptr) return {0.8, 0.8, 0.8};
  return SampleChannel(material.color, vd, ChannelFlags(colorChannel, 0));
}

}  // namespace tess::render
