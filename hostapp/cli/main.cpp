// tessaline-host: plays the 3D application for the Tessaline module.
#include <CLI/CLI.hpp>

#include <csignal>
#include <exception>
#include <iostream>
#include <map>
#include <string>

#include "hostapp/cli/commands.h"
#include "hostapp/loader/layout.h"
#include "tessaline_version.h"

namespace {

int Run(int argc, char** argv) {
  // Named, not taken from argv[0]: the usage lines (and the man page made from
  // them) show the command as it is typed, not the path it was started by.
  CLI::App app{"tessaline-host: loads the Tessaline module as the 3D application would, and drives it.",
               "tessaline-host"};
  app.require_subcommand(1);
  app.fallthrough();  // shared options may follow the command

  tess::cli::CommonOptions common;
  common.modulePath = tess::host::DefaultModulePath();
  app.set_version_flag("--version", std::string("tessaline-host ") + TESSALINE_VERSION,
                       "Print the version of tessaline-host and its module and exit");
  app.add_option("--module", common.modulePath,
                 "The module to load (default: module/ beside tessaline-host in a build, "
                 "../lib/tessaline/ from its bin/ when installed)");

  std::map<CLI::App*, tess::cli::CommandRunner> commands;
  const auto add = [&](tess::cli::CommandRunner run) { commands[app.get_subcommands({}).back()] = std::move(run); };
  add(tess::cli::AddInfoCommand(app, common));
  add(tess::cli::AddDescribeCommand(app, common));
  add(tess::cli::AddRenderCommand(app, common));
  add(tess::cli::AddShadeCommand(app, common));
  add(tess::cli::AddPanelCommand(app, common));
  add(tess::cli::AddServeCommand(app, common));

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e);
  }
  for (const auto& [command, run] : commands)
    if (command->parsed()) return run();
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  // Past a file-size limit a write fails with EFBIG, which the writer reports
  // and cleans up after, instead of the signal ending the process mid-file.
  std::signal(SIGXFSZ, SIG_IGN);
  // Commands report bad input themselves; what reaches here is the rest, such
  // as memory running out, and still ends as one line and a failure.
  try {
    return Run(argc, argv);
  } catch (const std::exception& e) {
    std::cerr << "error: " << e.what() << '\n';
  } catch (...) {
    std::cerr << "error: an unexpected failure\n";
  }
  return 1;
}
