// From a read scene to a finished frame: render objects, Embree scene,
// shader preparation, the render itself and shader release, each timed.
#ifndef TESSALINE_HOSTAPP_RENDER_PIPELINE_H
#define TESSALINE_HOSTAPP_RENDER_PIPELINE_H

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "hostapp/render/embree_scene.h"
#include "hostapp/render/renderer.h"
#include "hostapp/render/tracer.h"
#include "hostapp/services/shared_adjacency.h"

namespace tess::render {

// What a render reads that depends on the geometry alone: the render
// objects, the Embree scene and the tracer over them. Built once per scene
// and never changed, so many threads (renders, later picking) may read it at
// once; shader edits leave it as it is. While it lives the shaders' adjacency
// tables stay built, so that a render after an edit builds none again.
class RenderWorld {
 public:
  // Null with one error line when the objects do not fit or Embree refuses.
  static std::unique_ptr<const RenderWorld> Build(const Scene& scene, std::string* error);
  RenderWorld(const RenderWorld&) = delete;
  RenderWorld& operator=(const RenderWorld&) = delete;

  RenderContext Context() const { return {scene, objects, embree, *tracer}; }
  const EmbreeScene& Embree() const { return embree; }

 private:
  explicit RenderWorld(const Scene& s) : scene(s) {}
  const Scene& scene;
  std::vector<RenderObject> objects;
  EmbreeScene embree;
  std::unique_ptr<EmbreeTracer> tracer;
  host::AdjacencyRetention keepTables;
};

// What --stats reports besides the render: bare Embree rays traced in the
// same run, one thread, as the yardstick for the shaders' cost.
struct BareRayTimes {
  uint64_t cameraRays = 0;
  double cameraSeconds = 0.0;
  uint64_t shortRays = 0;  // from camera hits, like a sampling shader's rays
  double shortSeconds = 0.0;
};

struct RenderOutcome {
  Frame frame;
  std::string error;
  std::vector<std::pair<std::string, double>> phases;  // name, seconds
  BareRayTimes bare;
};

struct BareRaySettings {
  bool measure = false;
  int raysPerPoint = 16;
  double length = 0.2;
};

RenderOutcome RenderScene(const Scene& scene, const RenderSettings& settings, const BareRaySettings& bare = {});

}  // namespace tess::render

#endif
