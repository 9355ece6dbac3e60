// The module as the renderer's commands use it: loaded and started before a
// scene is read (plug-in shaders come from its registry), ended and unloaded
// after the scene's nodes are gone, with no host allocation left behind.
#ifndef TESSALINE_HOSTAPP_RENDER_MODULE_HOST_H
#define TESSALINE_HOSTAPP_RENDER_MODULE_HOST_H

#include <memory>
#include <string>

#include "hostapp/loader/launch.h"

namespace tess::render {

class ModuleHost {
 public:
  // Load, init, resource, start; empty on success, else one error line.
  std::string Start(const std::string& modulePath);
  // End and unload; then every host block the module took must be free.
  std::string Finish();

 private:
  std::unique_ptr<host::LaunchedModule> module;
};

}  // namespace tess::render

#endif
