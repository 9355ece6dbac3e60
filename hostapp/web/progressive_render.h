// Renders the preview in passes that get better: a quarter-size pass with one
// sample first, so an edit shows quickly, then full size with more and more
// samples. A new generation (an edit, a new pane size) stops the running one
// between rows of tiles.
#ifndef TESSALINE_HOSTAPP_WEB_PROGRESSIVE_RENDER_H
#define TESSALINE_HOSTAPP_WEB_PROGRESSIVE_RENDER_H

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

#include "hostapp/render/embree_scene.h"
#include "hostapp/render/renderer.h"
#include "hostapp/render/tracer.h"
#include "hostapp/render/world.h"

namespace tess::web {

using Clock = std::chrono::steady_clock;

struct PassPlan {
  int width = 0;
  int height = 0;
  int samples = 1;
};

// The passes of one generation for a view of the given size.
std::vector<PassPlan> PassesFor(int width, int height);

struct Pass {
  uint64_t generation = 0;
  int index = 0;
  int count = 0;
  PassPlan plan;
  double milliseconds = 0.0;  // from the request that started the generation
  std::shared_ptr<const std::string> png;
  bool Final() const { return index + 1 == count; }
};

struct RenderProgress {
  uint64_t generation = 0;
  int pass = 0;
  double fraction = 0.0;
  bool running = false;
};

class ProgressiveRender {
 public:
  struct Listener {
    std::function<void(const Pass&)> pass;
    std::function<void(uint64_t generation, const std::string& message)> error;
  };

  // Builds the ray-tracing scene once: edits change shaders, never geometry.
  ProgressiveRender(const render::Scene& s, int threadCount, Listener l);
  ~ProgressiveRender();
  ProgressiveRender(const ProgressiveRender&) = delete;
  ProgressiveRender& operator=(const ProgressiveRender&) = delete;

  // Empty unless the ray-tracing scene could not be built.
  const std::string& Error() const { return buildError; }

  // Stops the running generation and returns once no render thread reads
  // the scene; until the next Start the scene may change.
  void Stop();
  // Stops the running generation and starts the next; its number.
  // `announce` hears the number before any of its passes can come.
  uint64_t Start(int width, int height, Clock::time_point requested,
                 const std::function<void(uint64_t)>& announce = nullptr);

  // Held while the shaders are prepared or released: other calls into the
  // module on the same nodes (the panel's description) wait for it.
  std::mutex& PreparationLock() { return preparation; }

  RenderProgress Progress() const;
  std::optional<Pass> Latest() const;
  std::optional<Pass> Find(uint64_t generation, int index) const;

 private:
  struct Job {
    uint64_t generation = 0;
    int width = 0, height = 0;
    Clock::time_point requested;
  };
  void Loop();
  void RunGeneration(const Job& job);
  bool RunPass(const Job& job, const std::vector<PassPlan>& passes, int index);
  void Keep(Pass pass);

  const render::Scene& scene;
  const int threads;
  const Listener listener;
  std::vector<render::RenderObject> objects;
  render::EmbreeScene embree;
  std::unique_ptr<render::EmbreeTracer> tracer;
  std::string buildError;

  render::RenderControl control;
  std::atomic<uint64_t> runningGeneration{0};
  std::atomic<int> runningPass{0};

  std::mutex preparation;
  mutable std::mutex mutex;
  std::condition_variable changed;
  std::optional<Job> pending;
  bool busy = false;
  bool quitting = false;
  uint64_t generations = 0;
  std::deque<Pass> kept;  // the newest passes, oldest first
  std::thread driver;
};

}  // namespace tess::web

#endif
