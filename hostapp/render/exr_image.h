// A frame as one multi-layer OpenEXR file of 32-bit floats, for compositing:
// the linear colour R, G, B with A, and the outputs the frame holds as the
// layers N (N.X, N.Y, N.Z), albedo (albedo.R, albedo.G, albedo.B) and Z.
#ifndef TESSALINE_HOSTAPP_RENDER_EXR_IMAGE_H
#define TESSALINE_HOSTAPP_RENDER_EXR_IMAGE_H

#include <string>

#include "hostapp/render/renderer.h"

namespace tess::render {

// A is the frame's coverage where it has one, and R, G, B are premultiplied
// by it as compositing expects: the colour of what the samples hit, without
// the `background` the misses saw. Without coverage A is 1 and the colour is
// the frame's. Empty on success, else one line naming the file; the file is
// replaced whole or left as it was.
std::string WriteExr(const std::string& path, const Frame& frame, const HostVector& background);

// A path ending in ".exr" (any case).
bool IsExrPath(const std::string& path);

}  // namespace tess::render

#endif
