// Which object a pixel of the view shows: one ray through the pixel's centre,
// traced on the caller's thread against the render world's Embree scene.
#ifndef TESSALINE_HOSTAPP_RENDER_PICK_H
#define TESSALINE_HOSTAPP_RENDER_PICK_H

#include <cstddef>
#include <optional>

#include "hostapp/render/shading.h"

namespace tess::render {

// The index into scene.objects of what pixel (x, y) of a width × height
// image through `camera` shows; none over the background.
std::optional<size_t> PickObject(const RenderContext& context, const CameraSetup& camera, int width, int height, int x,
                                 int y);

}  // namespace tess::render

#endif
