#include "hostapp/render/pick.h"

#include <limits>

#include "hostapp/render/camera.h"

namespace tess::render {

std::optional<size_t> PickObject(const RenderContext& context, const CameraSetup& camera, int width, int height, int x,
                                 int y) {
  const Camera view(camera, width, height);
  const RayHit hit = context.embree.Intersect(view.Origin(), view.Direction(x + 0.5, y + 0.5),
                                              std::numeric_limits<double>::infinity());
  if (!hit.hit || hit.geomID >= context.objects.size()) return std::nullopt;
  const SceneObject* source = context.objects[hit.geomID].source;
  return static_cast<size_t>(source - context.scene.objects.data());
}

}  // namespace tess::render
