#include "hostapp/render/pipeline.h"

#include <chrono>
#include <cmath>

#include "hostapp/render/camera.h"
#include "hostapp/render/out_of_memory.h"
#include "hostapp/assets/vec.h"
#include "hostapp/services/shared_adjacency.h"

namespace tess::render {
namespace {

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Evenly spread unit directions (a Fibonacci sphere), the same for every
// point: the yardstick needs rays like a sampling shader's, not randomness.
std::vector<Vec> SphereDirections(int count) {
  std::vector<Vec> dirs;
  const double golden = 3.141592653589793 * (3.0 - std::sqrt(5.0));
  for (int i = 0; i < count; ++i) {
    const double y = 1.0 - 2.0 * (i + 0.5) / count, r = std::sqrt(1.0 - y * y);
    dirs.push_back({r * std::cos(golden * i), y, r * std::sin(golden * i)});
  }
  return dirs;
}

BareRayTimes MeasureBareRays(const Scene& scene, const EmbreeScene& embree, const RenderSettings& s,
                             const BareRaySettings& b) {
  BareRayTimes t;
  const Camera camera(scene.camera, s.width, s.height);
  std::vector<std::pair<Vec, Vec>> hits;  // point and camera direction
  double sink = 0.0;                      // keeps the traces observable
  auto start = Clock::now();
  for (int y = 0; y < s.height; ++y)
    for (int x = 0; x < s.width; ++x)
      for (int k = 0; k < s.samples; ++k) {
        double dx = 0.5, dy = 0.5;
        PixelSample(x, y, k, s.samples, dx, dy);
        const Vec d = camera.Direction(x + dx, y + dy);
        const RayHit h = embree.Intersect(camera.Origin(), d, INFINITY);
        ++t.cameraRays;
        if (h.hit) {
          sink += h.t;
          if (t.cameraRays % 4 == 0) hits.emplace_back(camera.Origin() + d * h.t, d);
        }
      }
  t.cameraSeconds = Since(start);
  const std::vector<Vec> dirs = SphereDirections(b.raysPerPoint);
  start = Clock::now();
  for (const auto& [p, d] : hits)
    for (const Vec& dir : dirs) {
      const RayHit h = embree.Intersect(p + d * 0.001, dir, b.length);
      sink += h.hit ? h.t : 0.0;
      ++t.shortRays;
    }
  t.shortSeconds = Since(start);
  if (sink < 0.0) t.shortRays = 0;  // never true; the compiler cannot know
  return t;
}

}  // namespace

std::unique_ptr<const RenderWorld> RenderWorld::Build(const Scene& scene, std::string* error) {
  std::unique_ptr<RenderWorld> world(new RenderWorld(scene));
  try {
    world->objects = MakeRenderObjects(scene);
  } catch (const OutOfMemory& e) {
    *error = e.what();
    return nullptr;
  }
  if (!world->embree.Build(world->objects)) {
    *error = world->embree.Error().empty() ? "Embree could not build the scene" : world->embree.Error();
    return nullptr;
  }
  world->tracer = std::make_unique<EmbreeTracer>(world->embree, world->objects);
  return world;
}

RenderOutcome RenderScene(const Scene& scene, const RenderSettings& settings, const BareRaySettings& bare) {
  RenderOutcome outcome;
  auto start = Clock::now();
  const std::unique_ptr<const RenderWorld> world = RenderWorld::Build(scene, &outcome.error);
  outcome.phases.emplace_back("build the Embree scene", Since(start));
  if (world == nullptr) return outcome;
  const EmbreeScene& embree = world->Embree();
  const RenderContext context = world->Context();

  start = Clock::now();
  const uint64_t buildsBefore = host::AdjacencyBuilds();
  outcome.error = PrepareShaders(scene, settings.threads);
  outcome.phases.emplace_back("prepare shaders", Since(start));
  if (!outcome.error.empty()) return outcome;

  try {
    outcome.frame = RenderFrame(context, settings);
  } catch (const OutOfMemory& e) {
    outcome.error = e.what();
  }
  outcome.phases.emplace_back("render", outcome.frame.stats.seconds);

  start = Clock::now();
  FreeShaders(scene);
  outcome.phases.emplace_back("free shaders", Since(start));
  outcome.frame.stats.adjacencyBuilds = host::AdjacencyBuilds() - buildsBefore;
  if (outcome.error.empty() && !embree.Error().empty()) outcome.error = embree.Error();
  if (!outcome.error.empty()) return outcome;
  if (bare.measure) outcome.bare = MeasureBareRays(scene, embree, settings, bare);
  return outcome;
}

}  // namespace tess::render
