#include "hostapp/loader/module_loader.h"

#include <dlfcn.h>

#include <filesystem>
#include <system_error>

#include "hostapp/services/services.h"

namespace tess::host {
namespace {

StepResult Fail(const std::string& step, int32_t code, const std::string& words) {
  return StepResult{false, code, step + ": " + words};
}

std::string ResultWords(int32_t action, int32_t code) {
  std::string prefix = "result " + std::to_string(code) + " ";
  switch (action) {
    case HOST_ACTION_INIT:
      return code == -3 ? prefix + "(refused: host API version too old or no module path)"
                        : prefix + "(unexpected init result)";
    case HOST_ACTION_MESSAGE:
      return code == -1 ? prefix + "(message refused: the resource could not be loaded)"
                        : prefix + "(unexpected message result)";
    case HOST_ACTION_START:
      return code == 0 ? prefix + "(start failed: a shader could not be registered)"
                       : prefix + "(unexpected start result)";
    default:
      return prefix;
  }
}

}  // namespace

ModuleSession::~ModuleSession() {
  Unload();
}

StepResult ModuleSession::Load(const std::string& modulePath) {
  std::error_code ec;
  const std::filesystem::path path(modulePath);
  if (!std::filesystem::exists(path, ec)) return Fail("load " + modulePath, 0, "no such file");
  if (!std::filesystem::is_regular_file(path, ec)) return Fail("load " + modulePath, 0, "not a file");
  library = dlopen(std::filesystem::absolute(path, ec).c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    const char* why = dlerror();
    return Fail("load " + modulePath, 0, std::string("not a module (") + (why != nullptr ? why : "unknown") + ")");
  }
  entry = reinterpret_cast<HostModuleMain>(dlsym(library, "c4d_main"));
  if (entry == nullptr) {
    Unload();
    return Fail("load " + modulePath, 0, "no c4d_main in the module");
  }
  folder = std::filesystem::absolute(path, ec).parent_path().string();
  return {};
}

int32_t ModuleSession::Call(int32_t action, void* p1, void* p2, void* p3) {
  return entry != nullptr ? entry(action, p1, p2, p3) : -1;
}

StepResult ModuleSession::Init(int32_t apiVersion) {
  table = MakeHostTable();
  table.apiVersion = apiVersion;
  if (folderHandle == nullptr) folderHandle = NewFilename(folder);
  initialised = true;
  const int32_t code = Call(HOST_ACTION_INIT, &table, nullptr, folderHandle);
  if (code != 1) return Fail("system init", code, ResultWords(HOST_ACTION_INIT, code));
  return {};
}

StepResult ModuleSession::LoadResource() {
  // The contract passes a message's id in the first pointer argument.
  void* message = reinterpret_cast<void*>(intptr_t{HOST_MSG_RESOURCE});  // NOLINT(performance-no-int-to-ptr)
  const int32_t code = Call(HOST_ACTION_MESSAGE, message, nullptr, nullptr);
  if (code != 1) return Fail("resource message", code, ResultWords(HOST_ACTION_MESSAGE, code));
  return {};
}

StepResult ModuleSession::Start() {
  const int32_t code = Call(HOST_ACTION_START, nullptr, nullptr, nullptr);
  if (code != 1) return Fail("start", code, ResultWords(HOST_ACTION_START, code));
  return {};
}

StepResult ModuleSession::End() {
  if (!initialised) return {};
  initialised = false;
  // The registration objects the host owns go first, while the module can still free them.
  Services().registry.Clear();
  const int32_t code = Call(HOST_ACTION_END, nullptr, nullptr, nullptr);
  if (code != 1) return Fail("end", code, "result " + std::to_string(code));
  return {};
}

void ModuleSession::Unload() {
  End();
  if (library != nullptr) dlclose(library);
  library = nullptr;
  entry = nullptr;
  ReleaseFilename(folderHandle);
  folderHandle = nullptr;
}

}  // namespace tess::host
