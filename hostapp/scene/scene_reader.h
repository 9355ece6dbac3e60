// Scene files: JSON with camera, image, lights and objects. Plug-in shaders
// are looked up in the registry, so the module must have started.
#ifndef TESSALINE_HOSTAPP_SCENE_SCENE_READER_H
#define TESSALINE_HOSTAPP_SCENE_SCENE_READER_H

#include <memory>
#include <string>

#include "hostapp/scene/scene.h"

namespace tess::render {

struct SceneResult {
  std::unique_ptr<Scene> scene;  // null on error
  std::string error;             // one line: "file: json.path: reason" or "file:line: reason"
};

SceneResult ReadSceneFile(const std::string& path);
// `label` names the text in messages; relative mesh files resolve against
// `folder`.
SceneResult ReadSceneText(const std::string& text, const std::string& folder, const std::string& label);

}  // namespace tess::render

#endif
