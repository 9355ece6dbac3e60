// The trace the module's shaders call through the host: Embree rays that see
// both faces of every polygon and report the polygon's own normal.
#ifndef TESSALINE_HOSTAPP_RENDER_TRACER_H
#define TESSALINE_HOSTAPP_RENDER_TRACER_H

#include <cstdint>
#include <vector>

#include "hostapp/render/embree_scene.h"
#include "hostapp/render/world.h"
#include "hostapp/services/render_data.h"

namespace tess::render {

class EmbreeTracer : public tess::host::Tracer {
 public:
  EmbreeTracer(const EmbreeScene& scene, const std::vector<RenderObject>& renderObjects)
      : embree(scene), objects(renderObjects) {}

  bool Trace(const HostVolumeData& vd, const HostRay& ray, double maxDistance, const HostHitId& skip,
             HostIntersection* out) const override;
  const HostRayObject* HitObject(const HostHitId& hit) const override;

  // Traces made by the calling thread since its last call; per thread, so
  // that counting takes no shared cache line.
  static uint64_t TakeThreadCount();

 private:
  const EmbreeScene& embree;
  const std::vector<RenderObject>& objects;
};

// The hit identifier of polygon `primID` of object `geomID`: non-zero first.
inline HostHitId HitIdOf(unsigned geomID, unsigned primID) {
  return HostHitId{static_cast<int32_t>(geomID) + 1, static_cast<int32_t>(primID)};
}

}  // namespace tess::render

#endif
