// The preview's render session: one driver thread renders the newest
// request (the document's revision at a view size) in passes that get
// better, a quarter-size sample first so that an edit shows quickly, then
// the full size with 1, 4 and the render's samples, each pass adding to the
// one before. Every pass also keeps the normals, the albedo and which object
// each pixel shows, and sees the scene as the scene's own image frames it.
// Requests go into a mailbox where the latest wins; asking for a render never
// waits for the running one. Edits go through Edit, which stops the render,
// lets the document change, and asks for the next generation.
#ifndef TESSALINE_HOSTAPP_WEB_RENDER_SESSION_H
#define TESSALINE_HOSTAPP_WEB_RENDER_SESSION_H

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "hostapp/render/pipeline.h"
#include "hostapp/render/worker_pool.h"
#include "hostapp/scene/json_access.h"
#include "hostapp/web/pass_store.h"

namespace tess::web {

struct RenderProgress {
  uint64_t generation = 0;
  int pass = 0;
  double fraction = 0.0;  // of the running pass
  // Of the generation's whole work: each pass weighs its pixels times the
  // samples it adds.
  double overall = 0.0;
  bool running = false;
};

// What the page's render controls set.
struct RenderControls {
  int samples = 16;    // the final pass's samples per pixel, 1 ... 256
  double scale = 1.0;  // of the view's pixels: 1, 0.5 or 0.25
  bool paused = false;
  // The render's side for a view's side: at least one pixel.
  int Scaled(int pixels) const;
};
render::Json RenderControlsJson(const RenderControls& controls);

// What an edit changes: the shaders' values, which the module reads when it
// prepares them, or the view of the scene alone, which leaves them prepared.
enum class EditKind { Shaders, View };

class RenderSession {
 public:
  struct Listener {
    std::function<void(const Pass&)> pass;
    std::function<void(uint64_t generation, const std::string& message)> error;
  };

  // Builds the render world once: edits change shaders, never geometry.
  // Renders nothing until the first SetView or Edit. Generations are
  // numbered from `firstGeneration`: a session that follows another on a new
  // scene goes on after its numbers, so that pages tell old passes apart.
  RenderSession(const render::Scene& scene, int threadCount, Listener l, uint64_t firstGeneration = 1);
  ~RenderSession();
  RenderSession(const RenderSession&) = delete;
  RenderSession& operator=(const RenderSession&) = delete;

  // Empty unless the render world could not be built.
  const std::string& Error() const { return buildError; }
  // What the renders trace, for picking on other threads; built when Error() is empty.
  const render::RenderWorld& World() const { return *world; }

  // Stops the render, waits until no render thread reads the document and
  // its shaders are released, runs `change`, and asks for the next
  // generation at the current view size, also when `change` throws (the
  // exception goes on to the caller). `announce` hears the new generation's
  // number before any of its passes can come. Edits must not overlap.
  uint64_t Edit(const std::function<void()>& change, const std::function<void(uint64_t)>& announce = nullptr,
                EditKind kind = EditKind::Shaders);
  // Asks for a render at this view size (scaled by the controls); returns at
  // once with its generation.
  uint64_t SetView(int width, int height);
  // Stops the running generation and drops the asked one; returns once no
  // render thread runs. The next SetView or Edit starts again.
  void Pause();
  // New samples or scale start a new generation. Pausing stops the running
  // one (its passes so far stay) and returns once no render thread runs;
  // while paused, edits and views are taken and render on resuming.
  // Returns the newest generation.
  uint64_t SetControls(const RenderControls& next);
  RenderControls Controls() const;

  // Held while shaders are prepared or released: other calls into the module
  // on the same nodes (the panel's description) wait for it.
  std::mutex& PreparationLock() { return preparation; }

  RenderProgress Progress() const;
  uint64_t Generation() const;
  std::optional<Pass> Latest() const { return store.Latest(); }
  std::optional<Pass> Find(uint64_t generation, int index) const { return store.Find(generation, index); }
  // Shader preparations and adjacency tables built since the session began:
  // an edit prepares the shaders again but builds no table again.
  uint64_t Preparations() const { return preparations.load(); }
  uint64_t AdjacencyBuilds() const;

  // For tests: the next pass throws this message on a render thread.
  void InjectFault(const std::string& message);

 private:
  struct Request {
    uint64_t generation = 0;
    uint64_t revision = 0;
    int width = 0, height = 0;  // the render's, scaled from the view's
    int samples = 16;
    std::chrono::steady_clock::time_point requested;
  };
  class PreparedShaders;
  uint64_t Post(std::unique_lock<std::mutex>& lock, bool edited);
  void Loop();
  void RunGeneration(const Request& job);
  bool Prepare(const Request& job);
  bool RunPass(const Request& job, const std::vector<PassPlan>& passes, int index, PassOutputs& sums);
  render::RenderSettings PassSettings(const PassPlan& plan, const PassOutputs& sums, const render::CameraSetup& camera);
  void StartPass(const std::vector<PassPlan>& passes, int index);
  void ReleaseShaders();

  const render::Scene& document;
  const int threads;
  const Listener listener;
  const uint64_t adjacencyBuildsBefore;
  std::unique_ptr<const render::RenderWorld> world;
  // Every pass renders on these threads: a pass starts and ends none.
  render::WorkerPool pool;
  std::string buildError;
  PassStore store;

  render::RenderControl control;
  std::atomic<uint64_t> runningGeneration{0};
  std::atomic<int> runningPass{0};
  // The work of the running generation's passes, under `mutex`.
  std::vector<double> passWork;
  std::atomic<uint64_t> preparations{0};

  // Touched by the driver while busy, by Edit while editing: never both.
  std::unique_ptr<PreparedShaders> prepared;
  uint64_t preparedRevision = 0;

  std::mutex preparation;
  mutable std::mutex mutex;
  std::condition_variable changed;
  std::optional<Request> pending;  // the mailbox: the latest request wins
  int viewWidth = 640, viewHeight = 360;
  RenderControls controls;
  uint64_t generations = 0;
  uint64_t revision = 0;
  int editing = 0;
  bool busy = false;
  bool quitting = false;
  std::string fault;
  std::thread driver;
};

}  // namespace tess::web

#endif
