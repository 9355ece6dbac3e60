// The built-in demo scene: needs no files.
#ifndef TESSALINE_HOSTAPP_SCENE_DEMO_SCENE_H
#define TESSALINE_HOSTAPP_SCENE_DEMO_SCENE_H

#include <string>

namespace tess::render {

// Side by side: a plain cube; the same cube with Soft Edge's edge method;
// with its ray sampling method; a torus (concave and convex edges) with Draw
// Edge in the colour channel; a cube with Draw Edge in the bump channel.
const std::string& DemoSceneText();

}  // namespace tess::render

#endif
