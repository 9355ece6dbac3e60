// Material channels evaluated through shader nodes for one hit: the normal
// channel, the bump channel and the colour channel.
#ifndef TESSALINE_HOSTAPP_RENDER_CHANNELS_H
#define TESSALINE_HOSTAPP_RENDER_CHANNELS_H

#include "hostapp/scene/scene.h"

namespace tess::render {

constexpr int32_t colorChannel = 0;

// Channel flags: the channel in bits 6-9, the bump sample in bits 4-5.
inline int32_t ChannelFlags(int32_t channel, int32_t bumpSample) {
  return channel << 6 | (bumpSample & 3) << 4;
}

// One shader call with a fresh channel record around vd.
HostVector SampleChannel(const Channel& channel, HostVolumeData& vd, int32_t flags);

// The normal a normal-channel colour stands for: the inverse of the module's
// encoding (0.5x + 0.5, 0.5y + 0.5, 0.5 - 0.5z).
HostVector DecodeNormal(const HostVector& colour);

// The shading normal after the normal channel (blended toward the decoded
// normal by its strength) and the bump channel (tilted by the differences of
// the four bump samples along the bump directions, times its strength).
HostVector ApplyNormalChannels(const Material& material, HostVolumeData& vd);
HostVector Albedo(const Material& material, HostVolumeData& vd);

}  // namespace tess::render

#endif
