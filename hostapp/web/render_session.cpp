#include "hostapp/web/render_session.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "hostapp/render/camera.h"
#include "hostapp/render/out_of_memory.h"
#include "hostapp/assets/utf8.h"

namespace tess::web {

int RenderControls::Scaled(int pixels) const {
  return std::max(1, static_cast<int>(std::lround(pixels * scale)));
}

render::Json RenderControlsJson(const RenderControls& controls) {
  return {{"samples", controls.samples}, {"scale", controls.scale}, {"paused", controls.paused}};
}

// The document's shaders prepared for rendering, released when it goes:
// whatever stops a generation (an edit, an exception, the end), nothing
// stays prepared behind it.
class RenderSession::PreparedShaders {
 public:
  PreparedShaders(const render::Scene& scene, std::mutex& lock) : document(scene), preparation(lock) {}
  ~PreparedShaders() {
    if (!ready) return;
    std::lock_guard<std::mutex> guard(preparation);
    render::FreeShaders(document);
  }
  PreparedShaders(const PreparedShaders&) = delete;
  PreparedShaders& operator=(const PreparedShaders&) = delete;

  // Empty, or why the shaders could not be prepared (then none stays prepared).
  std::string Prepare(int threads) {
    std::lock_guard<std::mutex> guard(preparation);
    std::string error = render::PrepareShaders(document, threads);
    ready = error.empty();
    return error;
  }

 private:
  const render::Scene& document;
  std::mutex& preparation;
  bool ready = false;
};

RenderSession::RenderSession(const render::Scene& scene, int threadCount, Listener l, uint64_t firstGeneration)
    : document(scene),
      threads(std::max(1, threadCount)),
      listener(std::move(l)),
      adjacencyBuildsBefore(host::AdjacencyBuilds()),
      pool(threads, true),
      generations(std::max<uint64_t>(firstGeneration, 1) - 1) {
  world = render::RenderWorld::Build(document, &buildError);
  control.background = true;
  driver = std::thread(&RenderSession::Loop, this);
}

RenderSession::~RenderSession() {
  {
    std::lock_guard<std::mutex> lock(mutex);
    quitting = true;
    pending.reset();
    control.cancel = true;
  }
  changed.notify_all();
  driver.join();
  prepared.reset();
}

uint64_t RenderSession::Post(std::unique_lock<std::mutex>&, bool edited) {
  if (edited) ++revision;
  pending = Request{++generations,    revision,    controls.Scaled(viewWidth), controls.Scaled(viewHeight),
                    controls.samples, Clock::now()};
  control.cancel = true;  // the running generation is stale now
  changed.notify_all();
  return generations;
}

uint64_t RenderSession::SetView(int width, int height) {
  std::unique_lock<std::mutex> lock(mutex);
  viewWidth = width;
  viewHeight = height;
  return Post(lock, false);
}

uint64_t RenderSession::Edit(const std::function<void()>& change, const std::function<void(uint64_t)>& announce,
                             EditKind kind) {
  const auto requested = Clock::now();
  std::unique_lock<std::mutex> lock(mutex);
  ++editing;
  pending.reset();
  control.cancel = true;
  changed.wait(lock, [this] { return !busy; });
  lock.unlock();
  // Asks for the next generation however the change ends.
  struct Finish {
    RenderSession& session;
    const std::function<void(uint64_t)>& announce;
    std::chrono::steady_clock::time_point requested;
    EditKind kind;
    uint64_t& generation;
    ~Finish() {
      std::unique_lock<std::mutex> lock(session.mutex);
      --session.editing;
      generation = session.Post(lock, kind == EditKind::Shaders);
      session.pending->requested = requested;
      if (announce) announce(generation);
    }
  };
  uint64_t generation = 0;
  {
    const Finish finish{*this, announce, requested, kind, generation};
    if (kind == EditKind::Shaders) prepared.reset();  // a module reads its values when it prepares
    change();
  }
  return generation;
}

void RenderSession::Pause() {
  std::unique_lock<std::mutex> lock(mutex);
  pending.reset();
  control.cancel = true;
  changed.wait(lock, [this] { return !busy; });
}

uint64_t RenderSession::SetControls(const RenderControls& next) {
  std::unique_lock<std::mutex> lock(mutex);
  const bool rerender = next.samples != controls.samples || next.scale != controls.scale;
  const bool resumed = controls.paused && !next.paused;
  controls = next;
  if (next.paused) {
    // Stops the render where it is; what it was asked for waits for the resume.
    control.cancel = true;
    changed.wait(lock, [this] { return !busy; });
    if (rerender) Post(lock, false);
    return generations;
  }
  // Renders the newest state: whatever was asked while paused, or what the
  // pause stopped.
  if (rerender || resumed) return Post(lock, false);
  return generations;
}

RenderControls RenderSession::Controls() const {
  std::lock_guard<std::mutex> lock(mutex);
  return controls;
}

RenderProgress RenderSession::Progress() const {
  RenderProgress p;
  std::lock_guard<std::mutex> lock(mutex);
  p.generation = runningGeneration.load();
  p.pass = runningPass.load();
  // The count before the total: a count of the running pass's tiles comes
  // after its total was set.
  const int tilesDone = control.tilesDone.load();
  const int tiles = control.tiles.load();
  p.fraction = tiles > 0 ? std::min(1.0, static_cast<double>(tilesDone) / tiles) : 0.0;
  if (static_cast<size_t>(p.pass) < passWork.size()) {
    // Whole numbers of samples: the last pass's end is the total exactly.
    double done = 0.0, total = 0.0;
    for (size_t i = 0; i < passWork.size(); ++i) {
      total += passWork[i];
      if (i < static_cast<size_t>(p.pass)) done += passWork[i];
    }
    p.overall = (done + p.fraction * passWork[static_cast<size_t>(p.pass)]) / total;
  }
  p.running = busy || (pending.has_value() && !controls.paused);
  return p;
}

uint64_t RenderSession::Generation() const {
  std::lock_guard<std::mutex> lock(mutex);
  return generations;
}

uint64_t RenderSession::AdjacencyBuilds() const {
  return host::AdjacencyBuilds() - adjacencyBuildsBefore;
}

void RenderSession::InjectFault(const std::string& message) {
  std::lock_guard<std::mutex> lock(mutex);
  fault = message.empty() ? "injected fault" : message;
}

void RenderSession::Loop() {
  std::unique_lock<std::mutex> lock(mutex);
  for (;;) {
    changed.wait(lock, [this] { return quitting || (pending.has_value() && editing == 0 && !controls.paused); });
    if (quitting) return;
    const Request job = *pending;
    pending.reset();
    busy = true;
    control.cancel = false;
    // Under the lock: progress never shows the new number with the last
    // generation's count.
    runningGeneration = job.generation;
    runningPass = 0;
    control.tilesDone = 0;
    passWork.clear();
    lock.unlock();
    RunGeneration(job);
    lock.lock();
    busy = false;
    changed.notify_all();
  }
}

void RenderSession::RunGeneration(const Request& job) {
  std::string error = buildError;
  try {
    if (error.empty() && !Prepare(job)) return;
    const std::vector<PassPlan> passes = PassesFor(job.width, job.height, job.samples);
    PassOutputs sums;
    for (int i = 0; error.empty() && i < static_cast<int>(passes.size()) && RunPass(job, passes, i, sums); ++i) {
    }
  } catch (const std::exception& e) {
    error = e.what();
  } catch (...) {
    error = "the render stopped on an unknown exception";
  }
  if (error.empty()) return;
  // What threw may have left the shaders half way: prepare them anew.
  prepared.reset();
  if (listener.error) listener.error(job.generation, assets::ValidUtf8(error));
}

bool RenderSession::Prepare(const Request& job) {
  if (prepared != nullptr && preparedRevision == job.revision) return true;
  prepared.reset();
  auto shaders = std::make_unique<PreparedShaders>(document, preparation);
  const std::string error = shaders->Prepare(threads);
  ++preparations;
  if (!error.empty()) {
    if (listener.error) listener.error(job.generation, assets::ValidUtf8(error));
    return false;
  }
  prepared = std::move(shaders);
  preparedRevision = job.revision;
  return true;
}

// Each pass's work is its pixels times the samples it adds. Set with the
// pass number, so that progress never mixes one pass's count with another's
// number.
void RenderSession::StartPass(const std::vector<PassPlan>& passes, int index) {
  std::lock_guard<std::mutex> lock(mutex);
  if (index == 0) {
    passWork.clear();
    for (const PassPlan& p : passes)
      passWork.push_back(static_cast<double>(p.width) * p.height * (p.sampleEnd - p.sampleBegin));
  }
  control.tilesDone = 0;
  runningPass = index;
}

render::RenderSettings RenderSession::PassSettings(const PassPlan& plan, const PassOutputs& sums,
                                                   const render::CameraSetup& camera) {
  render::RenderSettings settings;
  settings.width = plan.width;
  settings.height = plan.height;
  settings.samples = plan.samples;
  settings.sampleBegin = plan.sampleBegin;
  settings.sampleEnd = plan.sampleEnd;
  settings.camera = &camera;
  settings.normals = settings.albedo = settings.outputSums = true;
  // Only a pass with the pixels' first samples finds the objects they show;
  // the passes adding to it keep its map.
  settings.objects = !plan.Adds();
  if (plan.Adds()) {
    settings.previous = sums.color.get();
    settings.previousNormals = sums.normals.get();
    settings.previousAlbedo = sums.albedo.get();
  }
  settings.threads = threads;
  settings.pool = &pool;
  settings.control = &control;
  return settings;
}

bool RenderSession::RunPass(const Request& job, const std::vector<PassPlan>& passes, int index, PassOutputs& sums) {
  const PassPlan& plan = passes[static_cast<size_t>(index)];
  std::string injected;
  {
    std::lock_guard<std::mutex> lock(mutex);
    injected = std::exchange(fault, {});
  }
  // Thrown where a shader's exception would come from: a render thread.
  if (!injected.empty())
    pool.Run([&](int threadIndex) {
      if (threadIndex == 0) throw std::runtime_error(injected);
    });
  // The scene's framing whatever the pane's shape; a quarter-size pass has
  // (nearly) the shape of the full size.
  const render::CameraSetup camera = render::FitCamera(
      document.camera, static_cast<double>(document.image.width) / document.image.height, plan.width, plan.height);
  const render::RenderSettings settings = PassSettings(plan, sums, camera);
  StartPass(passes, index);
  render::Frame frame = render::RenderFrame(world->Context(), settings);
  if (frame.cancelled) return false;
  sums.color = std::make_shared<const render::Image>(std::move(frame.color));
  sums.normals = std::make_shared<const render::FloatImage>(std::move(frame.normals));
  sums.albedo = std::make_shared<const render::FloatImage>(std::move(frame.albedo));
  if (settings.objects) sums.objects = std::make_shared<const std::vector<int32_t>>(std::move(frame.objects));
  sums.samples = plan.samples;
  sums.shaded = plan.sampleEnd;
  Pass pass;
  pass.generation = job.generation;
  pass.index = index;
  pass.count = static_cast<int>(passes.size());
  pass.plan = plan;
  pass.image = std::make_shared<const PassImage>(sums);
  pass.milliseconds = std::chrono::duration<double, std::milli>(Clock::now() - job.requested).count();
  store.Keep(pass);
  if (listener.pass) listener.pass(pass);
  return !control.cancel.load();
}

}  // namespace tess::web
