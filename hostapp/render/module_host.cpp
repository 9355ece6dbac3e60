#include "hostapp/render/module_host.h"

#include "hostapp/services/services.h"

namespace tess::render {

std::string ModuleHost::Start(const std::string& modulePath) {
  // The banner is the module's business at start; a render's output stays clean.
  host::Services().console.sink = [](const std::string&) {};
  host::StepResult r = session.Load(modulePath);
  if (r.ok) r = session.Init();
  if (r.ok) r = session.LoadResource();
  if (r.ok) r = session.Start();
  return r.ok ? std::string() : r.message;
}

std::string ModuleHost::Finish() {
  const host::StepResult end = session.End();
  session.Unload();
  host::Services().console.sink = nullptr;
  if (!end.ok) return end.message;
  const int64_t live = host::Services().memory.LiveBlocks();
  if (live != 0) return "the module left " + std::to_string(live) + " host allocation(s) live";
  return {};
}

}  // namespace tess::render
