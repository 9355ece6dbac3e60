// A scene as read from a scene file: camera, image settings, lights and
// objects with their meshes (already in world space), materials and tags.
#ifndef TESSALINE_HOSTAPP_SCENE_SCENE_H
#define TESSALINE_HOSTAPP_SCENE_SCENE_H

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "hostapp/assets/mesh.h"
#include "hostapp/scene/mesh_file.h"
#include "hostapp/services/nodes.h"
#include "hostapp/services/scene.h"

namespace tess::render {

struct CameraSetup {
  HostVector position{4, 3, 5};
  HostVector target{0, 0, 0};
  HostVector up{0, 1, 0};
  double fov = 40.0;  // vertical, degrees
};

struct ImageSetup {
  int width = 640;
  int height = 480;
  int samples = 4;
  HostVector background{0.05, 0.05, 0.07};
};

struct LightSetup {
  enum class Type { Distant, Point, Ambient } type = Type::Distant;
  HostVector direction{-1, -2, -1};  // distant: the way the light travels
  HostVector position{0, 5, 0};      // point
  HostVector color{1, 1, 1};
  double intensity = 1.0;
};

// One material channel: a shader node (constants are host colour nodes) and,
// for bump and normal, how strongly it acts. `where` is its JSON path, for
// messages.
struct Channel {
  tess::host::ShaderNode* shader = nullptr;
  double strength = 1.0;
  std::string where;
};

struct Material {
  Channel color;  // diffuse albedo
  Channel bump;
  Channel normal;
  double specular = 0.2;
  double shininess = 32.0;
};

struct SceneObject {
  std::string name;
  Mesh mesh;  // world space
  bool smooth = false;
  Material material;
  std::unique_ptr<HostObject> host;        // carries the tags
  std::optional<MeshFileReport> meshFile;  // a mesh read from a file: how it was read and welded
};

struct Scene {
  CameraSetup camera;
  ImageSetup image;
  std::vector<LightSetup> lights;
  std::vector<SceneObject> objects;
  // Every shader node, linked ones included; they must be destroyed before
  // the module that made them ends.
  std::vector<std::unique_ptr<tess::host::ShaderNode>> nodes;

  // The channels that hold a node, in object order: what the renderer
  // prepares before and releases after a render.
  std::vector<const Channel*> Channels() const;
};

}  // namespace tess::render

#endif
