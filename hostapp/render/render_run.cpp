#include "hostapp/render/render_run.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <ostream>
#include <thread>

#include "hostapp/scene/demo_scene.h"
#include "hostapp/scene/model_scene.h"
#include "hostapp/render/exr_image.h"
#include "hostapp/render/module_host.h"
#include "hostapp/render/out_of_memory.h"
#include "hostapp/render/pipeline.h"
#include "hostapp/scene/scene_reader.h"
#include "hostapp/services/atomic_file.h"

namespace tess::render {
namespace {

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

RenderSettings SettingsFor(const RenderRequest& r, const Scene& scene) {
  RenderSettings s;
  s.width = r.width > 0 ? r.width : scene.image.width;
  s.height = r.height > 0 ? r.height : scene.image.height;
  s.samples = r.samples > 0 ? r.samples : scene.image.samples;
  const int cores = static_cast<int>(std::thread::hardware_concurrency());
  s.threads = r.threads > 0 ? r.threads : (cores > 0 ? cores : 1);
  s.progress = r.progress;
  const bool exr = IsExrPath(r.output);
  s.normals = exr || !r.normals.empty();
  s.albedo = exr || !r.albedo.empty();
  s.depth = exr;
  s.coverage = exr;
  return s;
}

double Count(uint64_t n) {
  return static_cast<double>(n);
}

void PrintStats(std::ostream& out, const RenderOutcome& o, const RenderSettings& s) {
  char line[200];
  for (const auto& [name, seconds] : o.phases) {
    std::snprintf(line, sizeof line, "%-24s %10.3f ms\n", name.c_str(), seconds * 1e3);
    out << line;
  }
  const RenderStats& st = o.frame.stats;
  const double t = st.seconds > 0.0 ? st.seconds : 1e-9;
  const uint64_t rays = st.cameraRays + st.shadowRays + st.shaderTraces;
  std::snprintf(line, sizeof line, "threads                  %10d\n", st.threadsStarted);
  out << line;
  std::snprintf(line, sizeof line, "shaded samples           %10llu  (%.0f /s, %.1f ns each)\n",
                static_cast<unsigned long long>(st.shadedSamples), Count(st.shadedSamples) / t,
                st.shadedSamples > 0 ? t * s.threads * 1e9 / Count(st.shadedSamples) : 0.0);
  out << line;
  std::snprintf(line, sizeof line,
                "rays                     %10llu  (%.0f /s: %llu camera, %llu shadow, %llu shader)\n",
                static_cast<unsigned long long>(rays), Count(rays) / t, static_cast<unsigned long long>(st.cameraRays),
                static_cast<unsigned long long>(st.shadowRays), static_cast<unsigned long long>(st.shaderTraces));
  out << line;
  std::snprintf(line, sizeof line, "adjacency builds         %10llu\n",
                static_cast<unsigned long long>(st.adjacencyBuilds));
  out << line;
  const BareRayTimes& b = o.bare;
  if (b.cameraRays > 0) {
    std::snprintf(line, sizeof line, "bare camera ray          %10.1f ns  (%llu rays, one thread)\n",
                  b.cameraSeconds * 1e9 / Count(b.cameraRays), static_cast<unsigned long long>(b.cameraRays));
    out << line;
  }
  if (b.shortRays > 0) {
    std::snprintf(line, sizeof line, "bare short ray           %10.1f ns  (%llu rays, one thread)\n",
                  b.shortSeconds * 1e9 / Count(b.shortRays), static_cast<unsigned long long>(b.shortRays));
    out << line;
  }
}

template <typename Convert>
Image8 PngBytes(int width, int height, Convert&& convert) {
  const uint64_t bytes = 3 * static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
  return Allocate("the PNG data of " + std::to_string(width) + " x " + std::to_string(height) + " pixels", bytes,
                  convert);
}

// The image (PNG or EXR) and the PNG outputs asked for; the first failure.
std::string WriteImages(const RenderRequest& r, const Frame& frame, const Scene& scene) {
  const int w = frame.color.width, h = frame.color.height;
  std::string error = IsExrPath(r.output)
                          ? WriteExr(r.output, frame, scene.image.background)
                          : WritePng(r.output, PngBytes(w, h, [&] { return ToBytes(frame.color, true); }));
  if (error.empty() && !r.normals.empty())
    error = WritePng(r.normals, PngBytes(w, h, [&] { return NormalBytes(frame.normals); }));
  if (error.empty() && !r.albedo.empty())
    error = WritePng(r.albedo, PngBytes(w, h, [&] { return ToBytes(frame.albedo); }));
  return error;
}

// Mesh files: how long reading and welding took, and what welding did.
void PrintMeshStats(std::ostream& out, const Scene& scene) {
  char line[400];
  for (const SceneObject& object : scene.objects) {
    if (!object.meshFile) continue;
    const MeshFileReport& m = *object.meshFile;
    std::snprintf(line, sizeof line, "mesh %-19s %10.3f ms  read%s, %.3f ms convert, %.3f ms weld\n",
                  object.name.c_str(), m.readSeconds * 1e3, m.reused ? " (earlier)" : "", m.convertSeconds * 1e3,
                  m.weldSeconds * 1e3);
    out << line;
    if (m.welded)
      std::snprintf(line, sizeof line, "  welded within %g: %zu points to %zu, %zu polygons, %zu dropped\n",
                    m.weldDistance, m.pointsRead, m.points, m.polygonsRead, m.polygonsDropped);
    else
      std::snprintf(line, sizeof line, "  not welded: %zu points, %zu polygons\n", m.pointsRead, m.polygonsRead);
    out << line;
    if (!m.frame.empty()) out << "  " << m.frame << '\n';
  }
}

// Polygons welding dropped: one line for the whole scene.
void WarnAboutDrops(std::ostream& err, const Scene& scene) {
  size_t total = 0;
  std::string which;
  for (const SceneObject& object : scene.objects)
    if (object.meshFile && object.meshFile->polygonsDropped > 0) {
      total += object.meshFile->polygonsDropped;
      which += (which.empty() ? "" : ", ") + object.name + ": " + std::to_string(object.meshFile->polygonsDropped);
    }
  if (total > 0)
    err << "warning: welding dropped " << total << " polygons left with fewer than three distinct corners (" << which
        << ")\n";
}

bool ForModels(const RenderRequest& r) {
  return r.softEdge || r.softEdgeRays || r.drawEdge || !r.printScene.empty() || !r.up.empty();
}

// The scene: the demo, a scene file, or one made for a model file.
SceneResult ReadScene(const RenderRequest& r) {
  if (r.scenePath.empty() || IsSceneFile(r.scenePath)) {
    if (ForModels(r))
      return {nullptr,
              "--soft-edge, --soft-edge-rays, --draw-edge, --print-scene and --up are for model files, not scenes"};
    return r.scenePath.empty() ? ReadSceneText(DemoSceneText(), ".", "demo scene") : ReadSceneFile(r.scenePath);
  }
  ModelSceneOptions options;
  options.softEdge = r.softEdge;
  options.softEdgeRays = r.softEdgeRays;
  options.drawEdge = r.drawEdge;
  if (!r.up.empty()) {
    options.up = assets::ParseUpAxis(r.up);
    if (!options.up) return {nullptr, "--up: expected " + std::string(assets::upAxisNames) + ", not \"" + r.up + "\""};
  }
  if (r.width > 0) options.width = r.width;
  if (r.height > 0) options.height = r.height;
  if (r.samples > 0) options.samples = r.samples;
  std::string folder = ".";
  if (!r.printScene.empty()) {
    folder = std::filesystem::absolute(r.printScene).parent_path().string();
    // The model's path is made relative to this folder, and checked by
    // reading the scene through it: the folder must be there first.
    std::error_code ec;
    if (!std::filesystem::is_directory(folder, ec))
      return {nullptr, r.printScene + ": there is no folder " + folder + " to write it in"};
    options.sceneFolder = folder;
  }
  const ModelScene made = MakeModelScene(r.scenePath, options);
  if (!made.error.empty()) return {nullptr, made.error};
  const std::string text = SceneText(made.scene);
  SceneResult read =
      ReadSceneText(text, folder, r.printScene.empty() ? r.scenePath + " (the scene made for it)" : r.printScene);
  // Only a scene whose model was read is worth keeping: a failure leaves
  // whatever file was there.
  if (read.scene && !r.printScene.empty()) {
    const std::string error = host::WriteFileOrSay(r.printScene, text);
    if (!error.empty()) return {nullptr, error};
  }
  return read;
}

// Everything between module start and end, so that the scene's nodes are
// gone before the module ends.
std::string RenderWithModule(const RenderRequest& r, std::ostream& out, std::ostream& err,
                             std::vector<std::pair<std::string, double>>& phases) {
  auto start = Clock::now();
  SceneResult read = ReadScene(r);
  phases.emplace_back("read the scene", Since(start));
  if (!read.scene) return read.error;
  WarnAboutDrops(err, *read.scene);
  const RenderSettings settings = SettingsFor(r, *read.scene);
  BareRaySettings bare;
  bare.measure = r.stats;
  bare.length = r.bareRayLength;
  RenderOutcome outcome = RenderScene(*read.scene, settings, bare);
  phases.insert(phases.end(), outcome.phases.begin(), outcome.phases.end());
  if (!outcome.error.empty()) return outcome.error;

  start = Clock::now();
  std::string error = WriteImages(r, outcome.frame, *read.scene);
  phases.emplace_back("write images", Since(start));
  outcome.phases = phases;
  if (r.stats) {
    PrintStats(out, outcome, settings);
    PrintMeshStats(out, *read.scene);
  }
  return error;
}

// Whatever else runs out of memory is still one line, if without a size.
std::string RenderOrReport(const RenderRequest& r, std::ostream& out, std::ostream& err,
                           std::vector<std::pair<std::string, double>>& phases) {
  try {
    return RenderWithModule(r, out, err, phases);
  } catch (const OutOfMemory& e) {
    return e.what();
  } catch (const std::bad_alloc&) {
    return "not enough memory to render the scene";
  }
}

}  // namespace

int RunRender(const RenderRequest& r, std::ostream& out, std::ostream& err) {
  std::vector<std::pair<std::string, double>> phases;
  auto start = Clock::now();
  ModuleHost module;
  std::string error = module.Start(r.modulePath);
  phases.emplace_back("start the module", Since(start));
  if (error.empty()) error = RenderOrReport(r, out, err, phases);
  const std::string finish = module.Finish();
  if (error.empty()) error = finish;
  if (!error.empty()) {
    err << "error: " << error << '\n';
    return 1;
  }
  return 0;
}

}  // namespace tess::render
