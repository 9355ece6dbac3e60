// The renderer's per-sample services: thread index, hit objects, tracing,
// tags and edge selections.
#ifndef TESSALINE_HOSTAPP_SERVICES_RENDER_DATA_H
#define TESSALINE_HOSTAPP_SERVICES_RENDER_DATA_H

#include <cstdint>

#include "host/c4d_host.h"
#include "hostapp/services/scene.h"

namespace tess::host {

// Whatever answers rays for a render: the real ray tracer or a test's script.
// Called from many render threads at once.
class Tracer {
 public:
  virtual ~Tracer() = default;
  // Fills out and returns true when the ray hits something closer than
  // maxDistance, other than the polygon skip names.
  virtual bool Trace(const HostVolumeData& vd, const HostRay& ray, double maxDistance, const HostHitId& skip,
                     HostIntersection* out) const = 0;
  virtual const HostRayObject* HitObject(const HostHitId& hit) const = 0;
};

// What a hit record's renderer pointer points to in this host.
struct SampleContext {
  int32_t threadIndex = -1;
  const Tracer* tracer = nullptr;
};

const HostRenderApi* RenderTable();

}  // namespace tess::host

#endif
