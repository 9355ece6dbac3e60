// The renderer's copy of the scene's objects: the records a shader reads for
// a hit, plus what the renderer needs to shade (normals per point and
// polygon).
#ifndef TESSALINE_HOSTAPP_RENDER_WORLD_H
#define TESSALINE_HOSTAPP_RENDER_WORLD_H

#include <vector>

#include "hostapp/scene/scene.h"

namespace tess::render {

struct RenderObject {
  const SceneObject* source = nullptr;
  HostRayObject ray{};                   // points into source->mesh
  std::vector<HostVector> pointNormals;  // area-weighted, for smooth shading
  // Two per polygon, the normals of its halves (a, b, d) and (c, d, b): every
  // hit needs one, and working them out per hit cost two square roots.
  std::vector<HostVector> halfNormals;
};

// One per scene object, in scene order, so that an object's index is its
// Embree geometry id. Throws OutOfMemory when an object's normals do not fit.
std::vector<RenderObject> MakeRenderObjects(const Scene& scene);

// The polygon's own normal, wound as the module winds it: for a quad the
// cross product of its diagonals.
HostVector PolygonNormal(const HostVector* points, const HostPolygon& polygon);

}  // namespace tess::render

#endif
