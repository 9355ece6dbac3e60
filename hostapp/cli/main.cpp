// tessaline-host: plays the 3D application for the Tessaline module.
#include <CLI/CLI.hpp>

#include <iostream>

#include "hostapp/cli/info_command.h"
#include "hostapp/loader/module_loader.h"

int main(int argc, char** argv) {
  CLI::App app{"tessaline-host: loads the Tessaline module as the 3D application would, and drives it."};
  app.require_subcommand(1);

  std::string modulePath = tess::host::DefaultModulePath();
  CLI::App* info = app.add_subcommand("info", "Load and start the module, show its console banner and list "
                                              "the plug-ins it registers, then end and unload it.");
  info->add_option("--module", modulePath, "The module to load (default: the one this build made)");

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e);
  }

  if (info->parsed()) return tess::cli::RunInfo(modulePath, std::cout, std::cerr);
  return 1;
}
