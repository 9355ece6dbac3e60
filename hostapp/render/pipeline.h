// From a read scene to a finished frame: render objects, Embree scene,
// shader preparation, the render itself and shader release, each timed.
#ifndef TESSALINE_HOSTAPP_RENDER_PIPELINE_H
#define TESSALINE_HOSTAPP_RENDER_PIPELINE_H

#include <string>
#include <utility>
#include <vector>

#include "hostapp/render/renderer.h"

namespace tess::render {

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
