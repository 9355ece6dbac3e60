// `tessaline-host render` without the command line: start the module, read
// the scene (or the demo), render, write the images, report, end the module.
#ifndef TESSALINE_HOSTAPP_RENDER_RENDER_RUN_H
#define TESSALINE_HOSTAPP_RENDER_RENDER_RUN_H

#include <iosfwd>
#include <optional>
#include <string>

namespace tess::render {

struct RenderRequest {
  std::string modulePath;
  std::string scenePath;                   // empty: the built-in demo scene; not ".json": a model to make a scene for
  std::string output = "render.png";       // ".exr": every layer (WriteExr), else PNG
  std::string normals;                     // empty: none
  std::string albedo;                      // empty: none
  int width = 0, height = 0, samples = 0;  // 0: the scene's own
  int threads = 0;                         // 0: one per core
  bool stats = false;
  bool progress = false;
  double bareRayLength = 0.2;  // --stats: length of the bare short rays
  // Model files only (MakeModelScene): the shaders on every object, and
  // where to write the scene that was made.
  std::optional<double> softEdge, softEdgeRays, drawEdge;
  std::string printScene;
  std::string up;  // the model file's up axis ("z", "-x", ...); empty: what the file states or its format's custom
};

// The process exit code; every error is one line on err.
int RunRender(const RenderRequest& request, std::ostream& out, std::ostream& err);

}  // namespace tess::render

#endif
