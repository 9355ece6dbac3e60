// The subcommands of tessaline-host. Each adds itself to the application and
// returns the function that runs it once it was chosen on the command line.
#ifndef TESSALINE_HOSTAPP_CLI_COMMANDS_H
#define TESSALINE_HOSTAPP_CLI_COMMANDS_H

#include <CLI/CLI.hpp>

#include <functional>
#include <string>

namespace tess::cli {

// Options every command shares.
struct CommonOptions {
  std::string modulePath;
};

using CommandRunner = std::function<int()>;

CommandRunner AddInfoCommand(CLI::App& app, const CommonOptions& common);
CommandRunner AddDescribeCommand(CLI::App& app, const CommonOptions& common);
CommandRunner AddRenderCommand(CLI::App& app, const CommonOptions& common);
CommandRunner AddShadeCommand(CLI::App& app, const CommonOptions& common);
CommandRunner AddPanelCommand(CLI::App& app, const CommonOptions& common);
CommandRunner AddServeCommand(CLI::App& app, const CommonOptions& common);

}  // namespace tess::cli

#endif
