#include "hostapp/render/worker_pool.h"

#include <algorithm>
#include <atomic>
#include <stdexcept>
#include <system_error>
#include <utility>

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace tess::render {
namespace {

std::atomic<uint64_t> threadsStarted{0};

}  // namespace

void LowerThreadPriority() {
  const auto thread = static_cast<id_t>(syscall(SYS_gettid));
  setpriority(PRIO_PROCESS, thread, 10);
}

WorkerPool::WorkerPool(int threads, bool inBackground) : background(inBackground) {
  workers.reserve(static_cast<size_t>(std::max(threads, 0)));
  for (int i = 0; i < threads; ++i) {
    try {
      workers.emplace_back(&WorkerPool::Loop, this, i);
    } catch (const std::system_error&) {
      break;  // the workers that did start take every job between them
    }
    threadsStarted.fetch_add(1, std::memory_order_relaxed);
  }
}

WorkerPool::~WorkerPool() {
  {
    std::lock_guard<std::mutex> lock(mutex);
    quitting = true;
  }
  wake.notify_all();
  for (std::thread& w : workers) w.join();
}

void WorkerPool::Start(Job next) {
  std::unique_lock<std::mutex> lock(mutex);
  if (running > 0) throw std::logic_error("a worker pool got a job while one was running");
  error = nullptr;
  if (workers.empty()) {
    lock.unlock();
    try {
      next(0);
    } catch (...) {
      error = std::current_exception();
    }
    return;
  }
  current = std::move(next);
  running = Threads();
  ++jobs;
  lock.unlock();
  wake.notify_all();
}

void WorkerPool::Wait() {
  std::unique_lock<std::mutex> lock(mutex);
  finished.wait(lock, [this] { return running == 0; });
  current = nullptr;  // nothing the job holds outlives it
  if (error) std::rethrow_exception(std::exchange(error, nullptr));
}

void WorkerPool::Loop(int index) {
  if (background) LowerThreadPriority();
  uint64_t done = 0;
  std::unique_lock<std::mutex> lock(mutex);
  for (;;) {
    // A job started before the pool began to quit still runs.
    wake.wait(lock, [&] { return quitting || jobs != done; });
    if (jobs == done) return;
    done = jobs;
    lock.unlock();
    std::exception_ptr thrown;
    try {
      current(index);
    } catch (...) {
      thrown = std::current_exception();
    }
    lock.lock();
    if (thrown && !error) error = thrown;
    if (--running == 0) finished.notify_all();
  }
}

uint64_t WorkerPool::ThreadsStarted() {
  return threadsStarted.load(std::memory_order_relaxed);
}

}  // namespace tess::render
