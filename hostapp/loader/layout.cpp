#include "hostapp/loader/layout.h"

#include <system_error>

namespace tess::host {
namespace {

namespace fs = std::filesystem;

// The installed folders relative to the program's folder, from CMake's
// install directories; only relative paths, so an installed tree can move.
#ifndef TESSALINE_INSTALLED_MODULE_DIR
#define TESSALINE_INSTALLED_MODULE_DIR "../lib/tessaline"
#endif
#ifndef TESSALINE_INSTALLED_WEB_DIR
#define TESSALINE_INSTALLED_WEB_DIR "../share/tessaline/web"
#endif

constexpr const char* moduleFile = "tessaline.so";

bool Exists(const fs::path& path) {
  std::error_code ec;
  return fs::exists(path, ec);
}

// Neither layout has it: a program in a folder named bin is an installed one.
bool LooksInstalled(const fs::path& programFolder) {
  return programFolder.filename() == "bin";
}

}  // namespace

fs::path ProgramFolder() {
  std::error_code ec;
  const fs::path self = fs::read_symlink("/proc/self/exe", ec);
  return ec ? fs::current_path() : self.parent_path();
}

std::string ModulePathFor(const fs::path& programFolder) {
  const fs::path built = programFolder / "module" / moduleFile;
  const fs::path installed = (programFolder / TESSALINE_INSTALLED_MODULE_DIR / moduleFile).lexically_normal();
  if (Exists(built)) return built.string();
  if (Exists(installed) || LooksInstalled(programFolder)) return installed.string();
  return built.string();
}

std::string StaticDirFor(const fs::path& programFolder) {
  const fs::path built = programFolder / "web";
  const fs::path installed = (programFolder / TESSALINE_INSTALLED_WEB_DIR).lexically_normal();
  if (Exists(built)) return built.string();
  if (Exists(installed) || LooksInstalled(programFolder)) return installed.string();
  return built.string();
}

std::string DefaultModulePath() {
  return ModulePathFor(ProgramFolder());
}

std::string DefaultStaticDir() {
  return StaticDirFor(ProgramFolder());
}

}  // namespace tess::host
