#include "hostapp/loader/launch.h"

#include "hostapp/services/services.h"

namespace tess::host {
namespace {

// The host's last note says what it could not read, file and line included.
std::string WithReason(const std::string& message) {
  const auto notes = Services().console.Notes();
  for (auto it = notes.rbegin(); it != notes.rend(); ++it)
    if (it->rfind("error: ", 0) == 0) return message + ": " + it->substr(7);
  return message;
}

}  // namespace

std::unique_ptr<LaunchedModule> LaunchedModule::Launch(const std::string& modulePath, std::string* error) {
  std::unique_ptr<LaunchedModule> module(new LaunchedModule);
  StepResult r = module->session.Load(modulePath);
  if (r.ok) r = module->session.Init();
  if (r.ok) r = module->session.LoadResource();
  if (r.ok) r = module->session.Start();
  if (r.ok) return module;
  *error = WithReason(r.message);
  return nullptr;
}

LaunchedModule::~LaunchedModule() {
  Close();
}

int64_t LaunchedModule::Close() {
  if (open) {
    open = false;
    session.End();
    session.Unload();
  }
  return Services().memory.LiveBlocks();
}

}  // namespace tess::host
