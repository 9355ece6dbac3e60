#include "hostapp/scene/demo_scene.h"

namespace tess::render {

const std::string& DemoSceneText() {
  static const std::string text = R"({
  "camera": {"position": [0, 3.2, 10.5], "target": [0, 0, 0], "up": [0, 1, 0], "fov": 30},
  "image": {"width": 1000, "height": 360, "samples": 4},
  "lights": [
    {"type": "distant", "direction": [-1, -2, -1.5], "color": [1, 1, 1], "intensity": 0.9},
    {"type": "ambient", "color": [0.2, 0.2, 0.22]}
  ],
  "objects": [
    {"name": "floor", "mesh": {"primitive": "plane", "size": 16}, "position": [0, -0.8, 0],
     "material": {"color": {"shader": "checkerboard", "params": {"color1": [0.35, 0.35, 0.38], "color2": [0.45, 0.45, 0.48], "size": 1}}, "specular": 0}},
    {"name": "plain", "mesh": {"primitive": "cube", "size": 1.6}, "position": [-5, 0, 0], "rotation": [0, 30, 0],
     "material": {"color": [0.8, 0.3, 0.25]}},
    {"name": "soft edges", "mesh": {"primitive": "cube", "size": 1.6}, "position": [-2.5, 0, 0], "rotation": [0, 30, 0],
     "material": {"color": [0.8, 0.3, 0.25],
       "normal": {"shader": "SoftEdge", "params": {"SOFTEDGE_METHOD": 0, "SOFTEDGE_RADIUS": 0.3}}}},
    {"name": "soft rays", "mesh": {"primitive": "cube", "size": 1.6}, "position": [0, 0, 0], "rotation": [0, 30, 0],
     "material": {"color": [0.8, 0.3, 0.25],
       "normal": {"shader": "SoftEdge", "params": {"SOFTEDGE_METHOD": 1, "SOFTEDGE_RADIUS": 0.3, "SOFTEDGE_SAMPLES": 16}}}},
    {"name": "drawn edges", "mesh": {"primitive": "torus", "size": 2.2, "segments": 12}, "position": [2.5, 0, 0], "rotation": [60, 0, 0],
     "material": {"color": {"shader": "DrawEdge", "params": {"DRAWEDGE_WIDTH": 0.05,
       "DRAWEDGE_GRADIENT": [{"position": 0, "color": [0.1, 0.1, 0.15]}, {"position": 1, "color": [0.95, 0.85, 0.55]}]}}}},
    {"name": "bumped edges", "mesh": {"primitive": "cube", "size": 1.6}, "position": [5, 0, 0], "rotation": [0, 30, 0],
     "material": {"color": [0.3, 0.5, 0.8],
       "bump": {"shader": "DrawEdge", "strength": 6.0, "params": {"DRAWEDGE_WIDTH": 0.12, "DRAWEDGE_BUMP_STEP": 0.1}}}}
  ]
})";
  return text;
}

}  // namespace tess::render
