// `render MODEL`: the scene made for a mesh file, so that it renders right
// away: every mesh node its own object, a camera framing the bounding box in
// a three-quarter view, a key light, an ambient light and a ground plane.
// The scene is JSON that the scene reader reads like any other, so a user can
// keep it (--print-scene) and go on editing it.
#ifndef TESSALINE_HOSTAPP_SCENE_MODEL_SCENE_H
#define TESSALINE_HOSTAPP_SCENE_MODEL_SCENE_H

#include <optional>
#include <string>

#include "hostapp/assets/up_axis.h"
#include "hostapp/scene/json_access.h"

namespace tess::render {

struct ModelSceneOptions {
  std::optional<double> softEdge;      // Soft Edge's edge method with this radius in the normal channel
  std::optional<double> softEdgeRays;  // Soft Edge's ray sampling method with this radius
  std::optional<double> drawEdge;      // Draw Edge with this width in the colour channel
  std::optional<assets::UpAxis> up;    // the model's up axis, written into the scene; none: the file's or its format's
  int width = 640, height = 480, samples = 4;
  // The folder the scene will be read from: the model's path is written
  // relative to it. Empty: the path is written absolute.
  std::string sceneFolder;
};

struct ModelScene {
  Json scene;         // null on error
  std::string error;  // one line, "file: reason"
};

// Reads the model (tess::assets::ImportModel, or the OBJ reader) to find its
// mesh nodes and bounding box. Objects name their node by its name where
// that is unique, else by its number; a file with one mesh node, and any OBJ,
// is one object of the whole file. Without a shader option, Soft Edge's edge
// method with the radius ChooseEdgeDefaults finds for the welded meshes;
// either shader acts on the edges from the model's feature angle up to 180°.
ModelScene MakeModelScene(const std::string& modelPath, const ModelSceneOptions& options);

// The model's path as a scene in `sceneFolder` names it: normalised;
// relative to the folder when the model lies inside it or was given relative,
// else absolute. An empty folder: absolute.
std::string ModelPathInScene(const std::string& modelPath, const std::string& sceneFolder);

// A scene, as render reads it, for people to read: one line per object.
std::string SceneText(const Json& scene);

// A scene file (".json", any case) rather than a model.
bool IsSceneFile(const std::string& path);

}  // namespace tess::render

#endif
