// Embree 3 device and scene over the render objects: one quad geometry per
// object (a triangle is the quad with v3 == v2), so geomID names the object
// and primID the polygon. Quads go in their traced corner order
// (TracedPolygon): a concave quad is split along its inner diagonal.
#ifndef TESSALINE_HOSTAPP_RENDER_EMBREE_SCENE_H
#define TESSALINE_HOSTAPP_RENDER_EMBREE_SCENE_H

#include <embree3/rtcore.h>

#include <mutex>
#include <string>
#include <vector>

#include "hostapp/render/world.h"

namespace tess::render {

struct RayHit {
  bool hit = false;
  unsigned geomID = RTC_INVALID_GEOMETRY_ID;
  unsigned primID = RTC_INVALID_GEOMETRY_ID;
  double t = 0.0;
  double u = 0.0, v = 0.0;  // Embree's quad parametrisation
};

constexpr double rayEpsilon = 1e-6;

class EmbreeScene {
 public:
  EmbreeScene() = default;
  EmbreeScene(const EmbreeScene&) = delete;
  EmbreeScene& operator=(const EmbreeScene&) = delete;
  ~EmbreeScene();

  // Builds and commits; false with Error() set when Embree refuses.
  bool Build(const std::vector<RenderObject>& objects);
  const std::string& Error() const { return error; }

  // Safe from many threads once built. `direction` must be of unit length so
  // that t is a distance. A skip geomID of RTC_INVALID_GEOMETRY_ID skips
  // nothing.
  RayHit Intersect(const HostVector& origin, const HostVector& direction, double tfar,
                   unsigned skipGeom = RTC_INVALID_GEOMETRY_ID, unsigned skipPrim = 0) const;
  bool Occluded(const HostVector& origin, const HostVector& direction, double tfar) const;

 private:
  static void OnError(void* self, RTCError code, const char* message);
  RTCDevice device = nullptr;
  RTCScene scene = nullptr;
  std::string error;
  std::mutex errorLock;
};

}  // namespace tess::render

#endif
