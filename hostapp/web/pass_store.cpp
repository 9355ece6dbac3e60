#include "hostapp/web/pass_store.h"

#include <algorithm>

#include "hostapp/web/png_writer.h"

namespace tess::web {
namespace {

// One generation's passes, and the last of the one before while the next
// renders: a page that heard of a pass finds it. Full-size sums are large.
constexpr size_t keptPasses = 5;
constexpr int sampleSet = 16;

}  // namespace

std::vector<PassPlan> PassesFor(int width, int height) {
  // A quarter of the pixels' sides is a sixteenth of the work: the first
  // image after an edit comes in a few tens of milliseconds.
  return {{std::max(1, width / 4), std::max(1, height / 4), 1, 0, 1},
          {width, height, sampleSet, 0, 1},
          {width, height, sampleSet, 1, 4},
          {width, height, sampleSet, 4, sampleSet}};
}

std::shared_ptr<const std::string> PassImage::Png() const {
  std::lock_guard<std::mutex> lock(mutex);
  if (png != nullptr) return png;
  if (factor == 1.0) {
    png = std::make_shared<const std::string>(FastPng(render::ToBytes(*linear, true)));
  } else {
    render::Image mean = *linear;
    for (HostVector& p : mean.pixels) p = {p.x * factor, p.y * factor, p.z * factor};
    png = std::make_shared<const std::string>(FastPng(render::ToBytes(mean, true)));
  }
  linear.reset();
  return png;
}

void PassStore::Keep(Pass pass) {
  std::lock_guard<std::mutex> lock(mutex);
  kept.push_back(std::move(pass));
  if (kept.size() > keptPasses) kept.pop_front();
}

std::optional<Pass> PassStore::Latest() const {
  std::lock_guard<std::mutex> lock(mutex);
  if (kept.empty()) return std::nullopt;
  return kept.back();
}

std::optional<Pass> PassStore::Find(uint64_t generation, int index) const {
  std::lock_guard<std::mutex> lock(mutex);
  for (const Pass& p : kept)
    if (p.generation == generation && p.index == index) return p;
  return std::nullopt;
}

}  // namespace tess::web
