#include "hostapp/cli/info_command.h"

#include <iostream>

#include "hostapp/cli/commands.h"

#include <filesystem>
#include <iomanip>
#include <ostream>
#include <string>
#include <system_error>

#include "hostapp/loader/launch.h"
#include "hostapp/services/services.h"

namespace tess::cli {
namespace {

void ListPlugins(std::ostream& out) {
  out << "plug-ins:\n";
  for (const HostPlugin* p : host::Services().registry.Plugins()) {
    const bool gui = p->type == HOST_PLUGINTYPE_CUSTOMGUI;
    out << "  " << std::left << std::setw(11) << (gui ? "custom GUI" : "shader") << std::setw(9) << p->id
        << std::setw(20) << p->name;
    if (gui) {
      const char* sym =
          p->customGui.getResourceSym != nullptr ? p->customGui.getResourceSym(p->customGui.object) : nullptr;
      out << "resource symbol " << (sym != nullptr ? sym : "(none)");
    } else {
      out << "description " << (p->descriptionName.empty() ? "(none)" : p->descriptionName);
    }
    out << '\n';
  }
}

}  // namespace

int RunInfo(const std::string& modulePath, std::ostream& out, std::ostream& err) {
  host::Services().console.sink = [&out](const std::string& line) { out << line << '\n'; };
  std::string error;
  auto module = host::LaunchedModule::Launch(modulePath, &error);
  if (module != nullptr) {
    // Which module answered, when a build and an installed copy both exist.
    std::error_code ec;
    out << "module: " << std::filesystem::absolute(modulePath, ec).lexically_normal().string() << '\n';
    ListPlugins(out);
  }
  const int64_t live = module != nullptr ? module->Close() : host::Services().memory.LiveBlocks();
  host::Services().console.sink = nullptr;
  if (module == nullptr) {
    err << "error: " << error << '\n';
    return 1;
  }
  out << "live host allocations after unload: " << live << '\n';
  if (live != 0) {
    err << "error: the module left " << live << " host allocation(s) live\n";
    return 1;
  }
  return 0;
}

CommandRunner AddInfoCommand(CLI::App& app, const CommonOptions& common) {
  app.add_subcommand("info",
                     "Load and start the module, show its console banner, its path and the plug-ins it "
                     "registers, then end and unload it.");
  return [&common] { return RunInfo(common.modulePath, std::cout, std::cerr); };
}

}  // namespace tess::cli
