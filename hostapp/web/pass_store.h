// The passes a session renders: each pass's accumulated samples, kept as
// rendered and turned into PNG bytes only when a page asks for them, once.
#ifndef TESSALINE_HOSTAPP_WEB_PASS_STORE_H
#define TESSALINE_HOSTAPP_WEB_PASS_STORE_H

#include <array>
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

// The passes of one generation at the render's size: a quarter-size sample
// first, then the full size with 1, 4 and `samples` samples per pixel, left
// out where a count would repeat. The full-size ones share one sample set, so
// the last is the image a single render of all its samples gives, and
// together they cost that render and no more.
std::vector<PassPlan> PassesFor(int width, int height, int samples);

// What a pass's image can show: the colour, or one of the outputs a page
// composites with.
enum class Aov { Beauty, Normal, Albedo, Object };
constexpr int aovCount = 4;
// Null for a name that is none of beauty, normal, albedo, object.
const Aov* AovNamed(const std::string& name);

// A pass's outputs as rendered: sums over the samples [0, shaded) of the
// pixel's `samples` (colour weighted 1 / samples each, normals of hits and
// albedo unweighted), and the objects the pixels' first samples hit.
struct PassOutputs {
  std::shared_ptr<const render::Image> color;
  std::shared_ptr<const render::FloatImage> normals;
  std::shared_ptr<const render::FloatImage> albedo;
  std::shared_ptr<const std::vector<int32_t>> objects;
  int samples = 1;
  int shaded = 1;
};

// A pass's images, turned into PNG bytes only when a page asks for one,
// each once.
class PassImage {
 public:
  explicit PassImage(PassOutputs outputs);
  // The PNG, made on the first call; later calls wait for it and share it.
  std::shared_ptr<const std::string> Png(Aov aov = Aov::Beauty) const;

 private:
  render::Image8 Bytes(Aov aov) const;
  mutable std::mutex mutex;
  mutable PassOutputs sums;  // each output let go once its image is encoded
  const int width, height;
  mutable std::array<std::shared_ptr<const std::string>, aovCount> png;
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
