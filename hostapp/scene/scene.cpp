#include "hostapp/scene/scene.h"

namespace tess::render {

std::vector<const Channel*> Scene::Channels() const {
  std::vector<const Channel*> channels;
  for (const SceneObject& object : objects)
    for (const Channel* c : {&object.material.color, &object.material.bump, &object.material.normal})
      if (c->shader != nullptr) channels.push_back(c);
  return channels;
}

}  // namespace tess::render
