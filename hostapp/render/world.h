// The renderer's copy of the scene's objects: the records a shader reads for
// a hit, plus what the renderer needs to shade (normals per point and
// polygon).
#ifndef TESSALINE_HOSTAPP_RENDER_WORLD_H
#define TESSALINE_HOSTAPP_RENDER_WORLD_H

#include <vector>

#include "hostapp/render/traced_quad.h"
#include "hostapp/scene/scene.h"

namespace tess::render {

struct RenderObject {
  const SceneObject* source = nullptr;
  HostRayObject ray{};                   // points into source->mesh
  std::vector<HostVector> pointNormals;  // area-weighted, for smooth shading
  // One per polygon: whether the ray tracer gets it turned by one corner
  // (TracedCorners), a concave quad whose inner diagonal is a-c.
  std::vector<bool> turned;
  // Two per polygon, the normals of the halves (a, b, d) and (c, d, b) of
  // its traced corners: every hit needs one, and working them out per hit
  // cost two square roots.
  std::vector<HostVector> halfNormals;
};

// The corners in the order the ray tracer has them, which Embree's (u, v)
// refer to.
inline HostPolygon TracedPolygon(const RenderObject& o, int32_t polygon) {
  return TracedCorners(o.ray.polygons[polygon], static_cast<size_t>(polygon) < o.turned.size() && o.turned[polygon]);
}

// One per scene object, in scene order, so that an object's index is its
// Embree geometry id. Throws OutOfMemory when an object's normals do not fit.
std::vector<RenderObject> MakeRenderObjects(const Scene& scene);

// The polygon's own normal, wound as the module winds it: for a quad the
// cross product of its diagonals.
HostVector PolygonNormal(const HostVector* points, const HostPolygon& polygon);

}  // namespace tess::render

#endif
