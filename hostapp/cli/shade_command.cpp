// `tessaline-host shade SCENE`: evaluate the scene's shaders at points given
// as JSON lines.
#include <fstream>
#include <iostream>

#include "hostapp/cli/commands.h"
#include "hostapp/render/probe.h"
#include "hostapp/resources/input_file.h"

namespace tess::cli {

CommandRunner AddShadeCommand(CLI::App& app, const CommonOptions& common) {
  struct Options {
    std::string scene;
    std::string input;
  };
  auto options = std::make_shared<Options>();
  CLI::App* cmd = app.add_subcommand(
      "shade", "Call a scene object's material shader once per JSON input line and print the colour it returns.");
  cmd->add_option("scene", options->scene, "Scene file (JSON)")->required();
  cmd->add_option("--input", options->input, "JSON lines to read: a file or a pipe (default: standard input)");
  return [options, &common] {
    if (options->input.empty())
      return render::RunShade(common.modulePath, options->scene, std::cin, std::cout, std::cerr);
    const std::string refused = resources::CheckStreamInput(options->input, resources::maxTextInputBytes);
    if (!refused.empty()) {
      std::cerr << "error: " << refused << '\n';
      return 1;
    }
    std::ifstream in(options->input);
    if (!in) {
      std::cerr << "error: " << options->input << ": cannot open the input file\n";
      return 1;
    }
    return render::RunShade(common.modulePath, options->scene, in, std::cout, std::cerr);
  };
}

}  // namespace tess::cli
