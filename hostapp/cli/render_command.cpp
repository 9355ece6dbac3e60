// `tessaline-host render [SCENE | MODEL]`: render a scene file, a model file
// in a scene made for it, or the built-in demo.
#include <unistd.h>

#include <array>
#include <cmath>
#include <iostream>
#include <memory>
#include <optional>

#include "hostapp/cli/commands.h"
#include "hostapp/cli/import_options.h"
#include "hostapp/render/render_run.h"
#include "hostapp/render/renderer.h"

namespace tess::cli {

CommandRunner AddRenderCommand(CLI::App& app, const CommonOptions& common) {
  auto request = std::make_shared<render::RenderRequest>();
  CLI::App* cmd = app.add_subcommand(
      "render",
      "Render a scene file, or a model file (glTF, FBX, COLLADA, STL, PLY, OBJ, ...) in a scene made for it, "
      "to a PNG or an OpenEXR file. Without either, the built-in demo scene.");
  cmd->add_option("scene", request->scenePath,
                  "Scene file (.json), or a model file: every mesh node an object, framed by the camera, "
                  "over a ground plane");
  cmd->add_option("-o,--output", request->output,
                  "Image to write: PNG, or with .exr a float OpenEXR file of the layers RGBA, N, albedo and Z")
      ->capture_default_str();
  cmd->add_option("--width", request->width, "Image width (default: the scene's)")->check(CLI::Range(1, 16384));
  cmd->add_option("--height", request->height, "Image height (default: the scene's)")->check(CLI::Range(1, 16384));
  cmd->add_option("--samples", request->samples, "Samples per pixel (default: the scene's)")
      ->check(CLI::Range(1, 1024));
  cmd->add_option("--threads", request->threads, "Render threads (default: one per core)")
      ->check(CLI::Range(1, render::maxThreads));
  cmd->add_option("--normals", request->normals, "Also write the shading normals as colours to this PNG");
  cmd->add_option("--albedo", request->albedo,
                  "Also write the colour channel before lighting (Draw Edge's lines on their own) to this PNG");
  cmd->add_flag("--stats", request->stats,
                "Print times per phase (and of reading and welding each mesh file), samples/s, rays/s, adjacency "
                "tables built and bare Embree rays for comparison");
  cmd->add_option("--bare-ray-length", request->bareRayLength, "With --stats: length of the bare short rays")
      ->check(CLI::PositiveNumber);
  // Model files: NaN stands for "not given" (this CLI11 has no std::optional).
  auto shaders = std::make_shared<std::array<double, 3>>();
  shaders->fill(std::nan(""));
  auto* soft =
      cmd->add_option("--soft-edge", (*shaders)[0],
                      "Model files: Soft Edge's edge method with this radius on every object "
                      "(without any shader option: a radius fitted to the faces along the model's feature edges)")
          ->check(CLI::NonNegativeNumber);
  cmd->add_option("--soft-edge-rays", (*shaders)[1],
                  "Model files: Soft Edge's ray sampling method with this radius on every object")
      ->check(CLI::NonNegativeNumber)
      ->excludes(soft);
  cmd->add_option("--draw-edge", (*shaders)[2],
                  "Model files: Draw Edge with this line width in the colour channel of every object")
      ->check(CLI::NonNegativeNumber);
  cmd->add_option("--up", request->up,
                  "Model files: the file's up axis, instead of what the file states or its format's custom "
                  "(z for STL, PLY, OFF, 3MF, AMF, Blender; y for OBJ, glTF); written into the scene")
      ->check(CLI::IsMember({"x", "y", "z", "-x", "-y", "-z"}));
  cmd->add_option("--print-scene", request->printScene,
                  "Model files: also write the scene that was made, as JSON that render reads back to the same image");
  const std::shared_ptr<ImportOptions> import = AddImportOptions(cmd);
  return [request, shaders, import, &common] {
    UseImportOptions(*import);
    const auto given = [](double v) { return std::isnan(v) ? std::optional<double>() : std::optional<double>(v); };
    request->softEdge = given((*shaders)[0]);
    request->softEdgeRays = given((*shaders)[1]);
    request->drawEdge = given((*shaders)[2]);
    request->modulePath = common.modulePath;
    request->progress = isatty(STDERR_FILENO) != 0;
    return render::RunRender(*request, std::cout, std::cerr);
  };
}

}  // namespace tess::cli
