#include "hostapp/render/tracer.h"

#include <cmath>

#include "hostapp/render/surface.h"
#include "hostapp/assets/vec.h"

namespace tess::render {
namespace {

thread_local uint64_t traces = 0;

}  // namespace

uint64_t EmbreeTracer::TakeThreadCount() {
  const uint64_t n = traces;
  traces = 0;
  return n;
}

bool EmbreeTracer::Trace(const HostVolumeData&, const HostRay& ray, double maxDistance, const HostHitId& skip,
                         HostIntersection* out) const {
  ++traces;
  // Shaders mostly hand in unit directions already; those are taken as they
  // are, since Embree traces in single precision, far coarser than the
  // difference. Zero, non-finite and far-off rays are refused by the scene.
  const bool unit = std::fabs(Dot(ray.direction, ray.direction) - 1.0) <= 1e-12;
  const Vec direction = unit ? Vec(ray.direction) : Normalize(ray.direction);
  const bool skipping = skip.id > 0 && static_cast<size_t>(skip.id) <= objects.size();
  const RayHit hit = embree.Intersect(ray.origin, direction, maxDistance,
                                      skipping ? static_cast<unsigned>(skip.id - 1) : RTC_INVALID_GEOMETRY_ID,
                                      static_cast<unsigned>(skip.polygon));
  if (!hit.hit) return false;
  out->hitId = HitIdOf(hit.geomID, hit.primID);
  out->point = ray.origin + direction * hit.t;
  out->normal = GeometricNormalAt(objects[hit.geomID], static_cast<int32_t>(hit.primID), hit.u, hit.v);
  out->distance = hit.t;
  return true;
}

const HostRayObject* EmbreeTracer::HitObject(const HostHitId& hit) const {
  if (hit.id <= 0 || static_cast<size_t>(hit.id) > objects.size()) return nullptr;
  return &objects[static_cast<size_t>(hit.id - 1)].ray;
}

}  // namespace tess::render
