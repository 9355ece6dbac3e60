#include "hostapp/web/render_session.h"

#include <algorithm>
#include <stdexcept>

#include "hostapp/render/out_of_memory.h"
#include "hostapp/assets/utf8.h"

namespace tess::web {

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
  pending = Request{++generations, revision, viewWidth, viewHeight, Clock::now()};
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

uint64_t RenderSession::Edit(const std::function<void()>& change, const std::function<void(uint64_t)>& announce) {
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
    uint64_t& generation;
    ~Finish() {
      std::unique_lock<std::mutex> lock(session.mutex);
      --session.editing;
      generation = session.Post(lock, true);
      session.pending->requested = requested;
      if (announce) announce(generation);
    }
  };
  uint64_t generation = 0;
  {
    const Finish finish{*this, announce, requested, generation};
    prepared.reset();  // a module reads its values when it prepares
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

RenderProgress RenderSession::Progress() const {
  RenderProgress p;
  p.generation = runningGeneration.load();
  p.pass = runningPass.load();
  const int tiles = control.tiles.load();
  p.fraction = tiles > 0 ? std::min(1.0, static_cast<double>(control.tilesDone.load()) / tiles) : 0.0;
  std::lock_guard<std::mutex> lock(mutex);
  p.running = busy || pending.has_value();
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
    changed.wait(lock, [this] { return quitting || (pending.has_value() && editing == 0); });
    if (quitting) return;
    const Request job = *pending;
    pending.reset();
    busy = true;
    control.cancel = false;
    lock.unlock();
    RunGeneration(job);
    lock.lock();
    busy = false;
    changed.notify_all();
  }
}

void RenderSession::RunGeneration(const Request& job) {
  runningGeneration = job.generation;
  runningPass = 0;
  std::string error = buildError;
  try {
    if (error.empty() && !Prepare(job)) return;
    const std::vector<PassPlan> passes = PassesFor(job.width, job.height);
    std::shared_ptr<const render::Image> sum;
    for (int i = 0; error.empty() && i < static_cast<int>(passes.size()) && RunPass(job, passes, i, sum); ++i) {
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

bool RenderSession::RunPass(const Request& job, const std::vector<PassPlan>& passes, int index,
                            std::shared_ptr<const render::Image>& sum) {
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
  render::RenderSettings settings;
  settings.width = plan.width;
  settings.height = plan.height;
  settings.samples = plan.samples;
  settings.sampleBegin = plan.sampleBegin;
  settings.sampleEnd = plan.sampleEnd;
  settings.previous = plan.Adds() ? sum.get() : nullptr;
  settings.threads = threads;
  settings.pool = &pool;
  settings.control = &control;
  control.tilesDone = 0;  // before the pass number, so progress never shows the last pass's count
  runningPass = index;
  render::Frame frame = render::RenderFrame(world->Context(), settings);
  if (frame.cancelled) return false;
  sum = std::make_shared<const render::Image>(std::move(frame.color));
  Pass pass;
  pass.generation = job.generation;
  pass.index = index;
  pass.count = static_cast<int>(passes.size());
  pass.plan = plan;
  pass.image = std::make_shared<const PassImage>(sum, static_cast<double>(plan.samples) / plan.sampleEnd);
  pass.milliseconds = std::chrono::duration<double, std::milli>(Clock::now() - job.requested).count();
  store.Keep(pass);
  if (listener.pass) listener.pass(pass);
  return !control.cancel.load();
}

}  // namespace tess::web
