// Loads a module, resolves its entry point and drives its lifecycle the way
// the application does: init, resource message, start ... end, unload.
#ifndef TESSALINE_HOSTAPP_LOADER_MODULE_LOADER_H
#define TESSALINE_HOSTAPP_LOADER_MODULE_LOADER_H

#include <cstdint>
#include <memory>
#include <string>

#include "host/c4d_host.h"

namespace tess::host {

// The outcome of one lifecycle step: on failure, one line naming the step and
// the result code in words.
struct StepResult {
  bool ok = true;
  int32_t code = 0;
  std::string message;
};

class ModuleSession {
 public:
  ModuleSession() = default;
  ModuleSession(const ModuleSession&) = delete;
  ModuleSession& operator=(const ModuleSession&) = delete;
  ~ModuleSession();

  // dlopen and resolve c4d_main.
  StepResult Load(const std::string& modulePath);
  // Action 1 with this host's table and the module's folder.
  StepResult Init(int32_t apiVersion = HOST_API_VERSION);
  // Action 6 with message id 1: the module loads its resource.
  StepResult LoadResource();
  // Action 2: the module registers its plug-ins.
  StepResult Start();
  // Action 3, then the host destroys what it owns of the module.
  StepResult End();
  // Releases everything and closes the library.
  void Unload();

  int32_t Call(int32_t action, void* p1, void* p2, void* p3);
  const std::string& ModuleFolder() const { return folder; }
  bool IsLoaded() const { return library != nullptr; }

 private:
  void* library = nullptr;
  HostModuleMain entry = nullptr;
  HostTable table{};
  HostFilename* folderHandle = nullptr;
  std::string folder;
  bool initialised = false;
};

}  // namespace tess::host

#endif
