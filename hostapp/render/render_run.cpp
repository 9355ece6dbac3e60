#include "hostapp/render/render_run.h"

#include <chrono>
#include <cstdio>
#include <ostream>
#include <thread>

#include "hostapp/render/demo_scene.h"
#include "hostapp/render/module_host.h"
#include "hostapp/render/pipeline.h"
#include "hostapp/render/scene_reader.h"

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
  s.normals = !r.normals.empty();
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

// Everything between module start and end, so that the scene's nodes are
// gone before the module ends.
std::string RenderWithModule(const RenderRequest& r, std::ostream& out,
                             std::vector<std::pair<std::string, double>>& phases) {
  auto start = Clock::now();
  SceneResult read =
      r.scenePath.empty() ? ReadSceneText(DemoSceneText(), ".", "demo scene") : ReadSceneFile(r.scenePath);
  phases.emplace_back("read the scene", Since(start));
  if (!read.scene) return read.error;
  const RenderSettings settings = SettingsFor(r, *read.scene);
  BareRaySettings bare;
  bare.measure = r.stats;
  bare.length = r.bareRayLength;
  RenderOutcome outcome = RenderScene(*read.scene, settings, bare);
  phases.insert(phases.end(), outcome.phases.begin(), outcome.phases.end());
  if (!outcome.error.empty()) return outcome.error;

  start = Clock::now();
  std::string error = WritePng(r.output, ToBytes(outcome.frame.color, true));
  if (error.empty() && !r.normals.empty()) error = WritePng(r.normals, ToBytes(outcome.frame.normals, false));
  phases.emplace_back("write images", Since(start));
  outcome.phases = phases;
  if (r.stats) PrintStats(out, outcome, settings);
  return error;
}

}  // namespace

int RunRender(const RenderRequest& r, std::ostream& out, std::ostream& err) {
  std::vector<std::pair<std::string, double>> phases;
  auto start = Clock::now();
  ModuleHost module;
  std::string error = module.Start(r.modulePath);
  phases.emplace_back("start the module", Since(start));
  if (error.empty()) error = RenderWithModule(r, out, phases);
  const std::string finish = module.Finish();
  if (error.empty()) error = finish;
  if (!error.empty()) {
    err << "error: " << error << '\n';
    return 1;
  }
  return 0;
}

}  // namespace tess::render
