// `tessaline-host render [SCENE]`: render a scene file, or the built-in demo.
#include <unistd.h>

#include <iostream>

#include "hostapp/cli/commands.h"
#include "hostapp/render/render_run.h"
#include "hostapp/render/renderer.h"

namespace tess::cli {

CommandRunner AddRenderCommand(CLI::App& app, const CommonOptions& common) {
  auto request = std::make_shared<render::RenderRequest>();
  CLI::App* cmd = app.add_subcommand("render", "Render a scene file (without one, the built-in demo scene) to a PNG.");
  cmd->add_option("scene", request->scenePath, "Scene file (JSON)");
  cmd->add_option("-o,--output", request->output, "Image to write (PNG)")->capture_default_str();
  cmd->add_option("--width", request->width, "Image width (default: the scene's)")->check(CLI::Range(1, 16384));
  cmd->add_option("--height", request->height, "Image height (default: the scene's)")->check(CLI::Range(1, 16384));
  cmd->add_option("--samples", request->samples, "Samples per pixel (default: the scene's)")
      ->check(CLI::Range(1, 1024));
  cmd->add_option("--threads", request->threads, "Render threads (default: one per core)")
      ->check(CLI::Range(1, render::maxThreads));
  cmd->add_option("--normals", request->normals, "Also write the shading normals as colours to this PNG");
  cmd->add_flag("--stats", request->stats,
                "Print times per phase, samples/s, rays/s, adjacency tables built and bare Embree rays for comparison");
  cmd->add_option("--bare-ray-length", request->bareRayLength, "With --stats: length of the bare short rays")
      ->check(CLI::PositiveNumber);
  return [request, &common] {
    request->modulePath = common.modulePath;
    request->progress = isatty(STDERR_FILENO) != 0;
    return render::RunRender(*request, std::cout, std::cerr);
  };
}

}  // namespace tess::cli
