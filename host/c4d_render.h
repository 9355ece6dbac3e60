// The renderer's per-sample records and the render-data services.
#ifndef TESSALINE_HOST_C4D_RENDER_H
#define TESSALINE_HOST_C4D_RENDER_H

#include "host/c4d_api.h"
#include "host/c4d_vector.h"

using CPolygon = HostPolygon;
using RayHitID = HostHitId;
using RayObject = HostRayObject;
using Ray = HostRay;
using VolumeData = HostVolumeData;
using ChannelData = HostChannelData;
using SurfaceIntersection = HostIntersection;
using InitRenderStruct = HostInitRender;
using INITRENDERRESULT = Int32;

constexpr Int32 INITRENDERRESULT_OK = HOST_INITRENDER_OK;
constexpr Int32 INITRENDERRESULT_OUTOFMEMORY = HOST_INITRENDER_FAILED;
constexpr Int32 CHANNEL_BUMP = HOST_CHANNEL_BUMP;
constexpr Int32 CHANNEL_NORMAL = HOST_CHANNEL_NORMAL;
constexpr Int32 SHADERINFO_BUMP_SUPPORT = 16;

// The material channel and the bump sample encoded in a channel record's flags.
inline Int32 ChannelOf(const ChannelData* cd) {
  return (cd->flags >> 6) & 15;
}
inline Int32 BumpSampleOf(const ChannelData* cd) {
  return (cd->flags >> 4) & 3;
}

// The render thread that evaluates this sample; -1 without a renderer.
inline Int32 GetRenderThreadIndex(const VolumeData* vd) {
  const HostRenderApi* api = RenderApi();
  return api != nullptr ? api->threadIndex(vd) : -1;
}

inline const RayObject* GetHitObject(const VolumeData* vd, const RayHitID& hit) {
  const HostRenderApi* api = RenderApi();
  return api != nullptr ? api->hitObject(vd, &hit) : nullptr;
}

// Traces a ray through the scene; on true, out holds the hit.
inline bool TraceGeometry(const VolumeData* vd, const Ray& ray, double maxDistance, const RayHitID& skip,
                          SurfaceIntersection* out) {
  const HostRenderApi* api = RenderApi();
  return api != nullptr && api->trace(vd, &ray, maxDistance, &skip, out) != 0;
}

#endif
