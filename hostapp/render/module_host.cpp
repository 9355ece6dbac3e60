#include "hostapp/render/module_host.h"

#include "hostapp/services/services.h"

namespace tess::render {

std::string ModuleHost::Start(const std::string& modulePath) {
  // The banner is the module's business at start; a render's output stays clean.
  host::Services().console.sink = [](const std::string&) {};
  std::string error;
  module = host::LaunchedModule::Launch(modulePath, &error);
  return error;
}

std::string ModuleHost::Finish() {
  const int64_t live = module != nullptr ? module->Close() : 0;
  module.reset();
  host::Services().console.sink = nullptr;
  if (live != 0) return "the module left " + std::to_string(live) + " host allocation(s) live";
  return {};
}

}  // namespace tess::render
