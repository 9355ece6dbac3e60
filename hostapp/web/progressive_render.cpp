#include "hostapp/web/progressive_render.h"

#include <algorithm>

#include "hostapp/render/image.h"
#include "hostapp/render/shading.h"

namespace tess::web {
namespace {

constexpr size_t keptPasses = 8;

}  // namespace

std::vector<PassPlan> PassesFor(int width, int height) {
  // A quarter of the pixels' sides is a sixteenth of the work: the first
  // image after an edit comes in a few tens of milliseconds.
  return {{std::max(1, width / 4), std::max(1, height / 4), 1},
          {width, height, 1},
          {width, height, 4},
          {width, height, 16}};
}

ProgressiveRender::ProgressiveRender(const render::Scene& s, int threadCount, Listener l)
    : scene(s), threads(std::max(1, threadCount)), listener(std::move(l)), objects(render::MakeRenderObjects(s)) {
  if (!embree.Build(objects)) buildError = embree.Error().empty() ? "Embree could not build the scene" : embree.Error();
  tracer = std::make_unique<render::EmbreeTracer>(embree, objects);
  control.background = true;
  driver = std::thread(&ProgressiveRender::Loop, this);
}

ProgressiveRender::~ProgressiveRender() {
  {
    std::lock_guard<std::mutex> lock(mutex);
    quitting = true;
    pending.reset();
    control.cancel = true;
  }
  changed.notify_all();
  driver.join();
}

void ProgressiveRender::Stop() {
  std::unique_lock<std::mutex> lock(mutex);
  pending.reset();
  control.cancel = true;
  changed.wait(lock, [this] { return !busy; });
  control.cancel = false;
}

uint64_t ProgressiveRender::Start(int width, int height, Clock::time_point requested,
                                  const std::function<void(uint64_t)>& announce) {
  std::unique_lock<std::mutex> lock(mutex);
  pending.reset();
  control.cancel = true;
  changed.wait(lock, [this] { return !busy; });
  control.cancel = false;
  pending = Job{++generations, width, height, requested};
  if (announce) announce(generations);
  changed.notify_all();
  return generations;
}

RenderProgress ProgressiveRender::Progress() const {
  RenderProgress p;
  p.generation = runningGeneration.load();
  p.pass = runningPass.load();
  const int tiles = control.tiles.load();
  p.fraction = tiles > 0 ? std::min(1.0, static_cast<double>(control.tilesDone.load()) / tiles) : 0.0;
  std::lock_guard<std::mutex> lock(mutex);
  p.running = busy;
  return p;
}

std::optional<Pass> ProgressiveRender::Latest() const {
  std::lock_guard<std::mutex> lock(mutex);
  if (kept.empty()) return std::nullopt;
  return kept.back();
}

std::optional<Pass> ProgressiveRender::Find(uint64_t generation, int index) const {
  std::lock_guard<std::mutex> lock(mutex);
  for (const Pass& p : kept)
    if (p.generation == generation && p.index == index) return p;
  return std::nullopt;
}

void ProgressiveRender::Loop() {
  std::unique_lock<std::mutex> lock(mutex);
  for (;;) {
    changed.wait(lock, [this] { return quitting || pending.has_value(); });
    if (quitting) return;
    const Job job = *pending;
    pending.reset();
    busy = true;
    lock.unlock();
    RunGeneration(job);
    lock.lock();
    busy = false;
    changed.notify_all();
  }
}

void ProgressiveRender::RunGeneration(const Job& job) {
  runningGeneration = job.generation;
  runningPass = 0;
  if (!buildError.empty()) {
    if (listener.error) listener.error(job.generation, buildError);
    return;
  }
  std::string error;
  {
    std::lock_guard<std::mutex> lock(preparation);
    error = render::PrepareShaders(scene, threads);
  }
  if (!error.empty()) {
    if (listener.error) listener.error(job.generation, error);
    return;
  }
  const std::vector<PassPlan> passes = PassesFor(job.width, job.height);
  for (int i = 0; i < static_cast<int>(passes.size()) && RunPass(job, passes, i); ++i) {
  }
  std::lock_guard<std::mutex> lock(preparation);
  render::FreeShaders(scene);
}

bool ProgressiveRender::RunPass(const Job& job, const std::vector<PassPlan>& passes, int index) {
  const PassPlan& plan = passes[static_cast<size_t>(index)];
  render::RenderSettings settings;
  settings.width = plan.width;
  settings.height = plan.height;
  settings.samples = plan.samples;
  settings.threads = threads;
  settings.control = &control;
  control.tilesDone = 0;  // before the pass number, so progress never shows the last pass's count
  runningPass = index;
  const render::RenderContext context{scene, objects, embree, *tracer};
  const render::Frame frame = render::RenderFrame(context, settings);
  if (frame.cancelled) return false;
  Pass pass;
  pass.generation = job.generation;
  pass.index = index;
  pass.count = static_cast<int>(passes.size());
  pass.plan = plan;
  pass.png = std::make_shared<const std::string>(render::EncodePng(render::ToBytes(frame.color, true)));
  pass.milliseconds = std::chrono::duration<double, std::milli>(Clock::now() - job.requested).count();
  Keep(pass);
  if (listener.pass) listener.pass(pass);
  return !control.cancel.load();
}

void ProgressiveRender::Keep(Pass pass) {
  std::lock_guard<std::mutex> lock(mutex);
  kept.push_back(std::move(pass));
  if (kept.size() > keptPasses) kept.pop_front();
}

}  // namespace tess::web
