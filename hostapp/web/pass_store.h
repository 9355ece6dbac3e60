// The passes a session renders: each pass's accumulated samples, kept as
// rendered and turned into PNG bytes only when a page asks for them, once.
#ifndef TESSALINE_HOSTAPP_WEB_PASS_STORE_H
#define TESSALINE_HOSTAPP_WEB_PASS_STORE_H

#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "hostapp/render/image.h"

namespace tess::web {

using Clock = std::chrono::steady_clock;

// One pass: the image's size and the samples [sampleBegin, sampleEnd) of the
// pixel's `samples` it adds to the passes before it.
struct PassPlan {
  int width = 0;
  int height = 0;
  int samples = 1;
  int sampleBegin = 0, sampleEnd = 1;
  bool Adds() const { return sampleBegin > 0; }
};

// The passes of one generation for a view of the given size. The full-size
// ones share one sample set, so the last is the image a single render of all
// its samples gives, and together they cost that render and no more.
std::vector<PassPlan> PassesFor(int width, int height);

// A pass's image: the sums of its samples, shown scaled to a mean.
class PassImage {
 public:
  PassImage(std::shared_ptr<const render::Image> sums, double scale) : linear(std::move(sums)), factor(scale) {}
  // The PNG, made on the first call; later calls wait for it and share it.
  std::shared_ptr<const std::string> Png() const;

 private:
  mutable std::mutex mutex;
  mutable std::shared_ptr<const render::Image> linear;  // let go once encoded
  mutable std::shared_ptr<const std::string> png;
  const double factor;
};

struct Pass {
  uint64_t generation = 0;
  int index = 0;
  int count = 0;
  PassPlan plan;
  double milliseconds = 0.0;  // from the request that started the generation
  std::shared_ptr<const PassImage> image;
  bool Final() const { return index + 1 == count; }
};

// The newest passes, oldest first; what a page may still ask for.
class PassStore {
 public:
  void Keep(Pass pass);
  std::optional<Pass> Latest() const;
  std::optional<Pass> Find(uint64_t generation, int index) const;

 private:
  mutable std::mutex mutex;
  std::deque<Pass> kept;
};

}  // namespace tess::web

#endif
