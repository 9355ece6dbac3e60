#include "hostapp/cli/info_command.h"

#include <iostream>

#include "hostapp/cli/commands.h"

#include <iomanip>
#include <ostream>
#include <string>

#include "hostapp/loader/module_loader.h"
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
      const char* sym = p->customGui.getResourceSym != nullptr ? p->customGui.getResourceSym(p->customGui.object)
                                                               : nullptr;
      out << "resource symbol " << (sym != nullptr ? sym : "(none)");
    } else {
      out << "description " << (p->descriptionName.empty() ? "(none)" : p->descriptionName);
    }
    out << '\n';
  }
}

}  // namespace

// The host's last note says what it could not read, file and line included.
std::string WithReason(const std::string& message) {
  const auto notes = host::Services().console.Notes();
  for (auto it = notes.rbegin(); it != notes.rend(); ++it)
    if (it->rfind("error: ", 0) == 0) return message + ": " + it->substr(7);
  return message;
}

int RunInfo(const std::string& modulePath, std::ostream& out, std::ostream& err) {
  host::Services().console.sink = [&out](const std::string& line) { out << line << '\n'; };
  int exitCode = 0;
  {
    host::ModuleSession session;
    host::StepResult r = session.Load(modulePath);
    if (r.ok) r = session.Init();
    if (r.ok) r = session.LoadResource();
    if (r.ok) r = session.Start();
    if (r.ok) ListPlugins(out);
    const host::StepResult end = session.End();
    session.Unload();
    if (!r.ok || !end.ok) {
      err << "error: " << WithReason(!r.ok ? r.message : end.message) << '\n';
      exitCode = 1;
    }
  }
  host::Services().console.sink = nullptr;
  const int64_t live = host::Services().memory.LiveBlocks();
  out << "live host allocations after unload: " << live << '\n';
  if (live != 0 && exitCode == 0) {
    err << "error: the module left " << live << " host allocation(s) live\n";
    exitCode = 1;
  }
  return exitCode;
}

CommandRunner AddInfoCommand(CLI::App& app, const CommonOptions& common) {
  app.add_subcommand("info", "Load and start the module, show its console banner and list the plug-ins it "
                             "registers, then end and unload it.");
  return [&common] { return RunInfo(common.modulePath, std::cout, std::cerr); };
}

}  // namespace tess::cli
