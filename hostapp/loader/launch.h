// A module loaded and started for one command, ended and unloaded with it.
#ifndef TESSALINE_HOSTAPP_LOADER_LAUNCH_H
#define TESSALINE_HOSTAPP_LOADER_LAUNCH_H

#include <memory>
#include <string>

#include "hostapp/loader/module_loader.h"

namespace tess::host {

class LaunchedModule {
 public:
  // Load, init, resource message and start; on failure, null and one line in error.
  static std::unique_ptr<LaunchedModule> Launch(const std::string& modulePath, std::string* error);
  ~LaunchedModule();
  // Ends and unloads now; the number of host blocks the module left live.
  int64_t Close();

 private:
  LaunchedModule() = default;
  ModuleSession session;
  bool open = true;
};

}  // namespace tess::host

#endif
