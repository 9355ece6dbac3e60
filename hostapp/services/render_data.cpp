#include "hostapp/services/render_data.h"

#include <new>

#include "hostapp/services/handles.h"

namespace tess::host {
namespace {

const SampleContext* ContextOf(const HostVolumeData* vd) {
  return vd != nullptr ? static_cast<const SampleContext*>(vd->renderer) : nullptr;
}

const Tracer* TracerOf(const HostVolumeData* vd) {
  const SampleContext* context = ContextOf(vd);
  return context != nullptr ? context->tracer : nullptr;
}

}  // namespace

const HostRenderApi* RenderTable() {
  static const HostRenderApi table{
      [](const HostVolumeData* vd) {
        const SampleContext* context = ContextOf(vd);
        return context != nullptr ? context->threadIndex : int32_t{-1};
      },
      [](const HostVolumeData* vd, const HostHitId* hit) -> const HostRayObject* {
        const Tracer* tracer = TracerOf(vd);
        return tracer != nullptr && hit != nullptr ? tracer->HitObject(*hit) : nullptr;
      },
      [](const HostVolumeData* vd, const HostRay* ray, double maxDistance, const HostHitId* skip,
         HostIntersection* out) {
        const Tracer* tracer = TracerOf(vd);
        if (tracer == nullptr || ray == nullptr || out == nullptr) return HostBool{0};
        const HostHitId none{0, 0};
        return static_cast<HostBool>(tracer->Trace(*vd, *ray, maxDistance, skip != nullptr ? *skip : none, out));
      },
      [](const HostObject* object, int32_t type, int32_t n) -> HostTag* {
        return object != nullptr ? object->FindTag(type, n) : nullptr;
      },
      [](const HostTag* tag) -> HostString* {
        return new (std::nothrow) HostString{tag != nullptr ? tag->name : std::string()};
      },
      [](const HostTag* tag) -> const HostSelect* {
        return tag != nullptr && tag->selection ? &*tag->selection : nullptr;
      },
      [](const HostSelect* select, int32_t index) {
        return static_cast<HostBool>(select != nullptr && select->IsSelected(index));
      },
  };
  return &table;
}

}  // namespace tess::host
