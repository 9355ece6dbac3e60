// Render threads that outlive a frame: a driver that renders pass after pass
// hands each pass to the same threads instead of starting and ending them.
// Each worker keeps one render thread index for life, so the module's
// per-index slots meet the same thread every time.
#ifndef TESSALINE_HOSTAPP_RENDER_WORKER_POOL_H
#define TESSALINE_HOSTAPP_RENDER_WORKER_POOL_H

#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace tess::render {

// Lowers the calling thread's priority alone: Linux keeps a nice value per
// thread. Failing leaves the normal priority, which is fine.
void LowerThreadPriority();

class WorkerPool {
 public:
  using Job = std::function<void(int threadIndex)>;

  // Starts up to `threads` workers with indices 0 .. threads - 1; where the
  // system refuses a thread, the pool keeps those that did start. Background
  // workers lower their priority once, as they start.
  WorkerPool(int threads, bool background);
  ~WorkerPool();  // finishes a job still running, then ends every worker
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  // Workers that started; at least one index runs a job even when none did.
  int Threads() const { return static_cast<int>(workers.size()); }

  // Runs job(index) once on every worker; without workers, job(0) on the
  // caller's thread. One job at a time: Start throws while one runs.
  void Start(Job next);
  // Returns once every worker has finished the job, and then rethrows the
  // first exception a worker's call threw.
  void Wait();
  void Run(Job job) {
    Start(std::move(job));
    Wait();
  }

  // Threads every pool in the process has started.
  static uint64_t ThreadsStarted();

 private:
  void Loop(int index);

  const bool background;
  std::mutex mutex;
  std::condition_variable wake, finished;
  Job current;
  uint64_t jobs = 0;  // jobs started: a worker runs each number once
  int running = 0;    // workers still in the current job
  bool quitting = false;
  std::exception_ptr error;
  std::vector<std::thread> workers;
};

}  // namespace tess::render

#endif
