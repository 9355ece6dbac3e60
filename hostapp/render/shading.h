// Shading of one camera sample: trace, fill the hit record, run the material
// channels through the shader nodes, light with Lambert plus a specular lobe
// and shadow rays.
#ifndef TESSALINE_HOSTAPP_RENDER_SHADING_H
#define TESSALINE_HOSTAPP_RENDER_SHADING_H

#include <cstdint>
#include <vector>

#include "hostapp/render/embree_scene.h"
#include "hostapp/scene/scene.h"
#include "hostapp/render/surface.h"
#include "hostapp/render/tracer.h"
#include "hostapp/render/world.h"

namespace tess::render {

// Everything a render reads; shared by all workers, read-only.
struct RenderContext {
  const Scene& scene;
  const std::vector<RenderObject>& objects;
  const EmbreeScene& embree;
  const EmbreeTracer& tracer;
};

struct SampleResult {
  HostVector color{0, 0, 0};
  HostVector normal{0, 0, 0};  // the shading normal used for lighting; zero on a miss
  HostVector albedo{0, 0, 0};  // the colour channel before lighting; zero on a miss
  double distance = 0.0;       // from the ray's origin to the hit, along a unit direction
  int32_t object = -1;         // the scene object hit, -1 on a miss
  bool hit = false;
};

// The hit record of a point on polygon `polygon` of object `index`, seen
// along `ray`. `renderer` is the host's per-thread context.
HostVolumeData MakeVolumeData(const RenderObject& object, int32_t index, int32_t polygon, const Surface& surface,
                              const HostRay& ray, void* renderer);
HostRay MakeRay(const HostVector& origin, const HostVector& direction);

// One worker's shading state: its render thread index and counters.
class SampleShader {
 public:
  SampleShader(const RenderContext& context, int32_t threadIndex);
  SampleResult Shade(const HostVector& origin, const HostVector& direction);

  uint64_t shadedSamples = 0;
  uint64_t cameraRays = 0;
  uint64_t shadowRays = 0;

 private:
  HostVector Light(const Surface& surface, const HostVector& n, const HostVector& direction, const HostVector& albedo,
                   const Material& material);
  const RenderContext& context;
  tess::host::SampleContext sampleContext;
};

}  // namespace tess::render

#endif
