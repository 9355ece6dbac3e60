#include "hostapp/web/pass_store.h"

#include <algorithm>
#include <cmath>

#include "hostapp/web/png_writer.h"

namespace tess::web {
namespace {

// One generation's passes, and the last of the one before while the next
// renders: a page that heard of a pass finds it. Full-size sums are large.
constexpr size_t keptPasses = 5;
// Full-size passes end at these sample counts, then at the render's own.
constexpr int firstCounts[] = {1, 4};

uint8_t Byte(double v) {
  return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255.0));
}

// Sums over `shaded` samples, as means in sRGB bytes as the colour is shown.
render::Image8 AlbedoBytes(const render::FloatImage& sums, int shaded) {
  render::Image mean(sums.width, sums.height);
  const double share = 1.0 / shaded;
  for (size_t i = 0; i < mean.pixels.size(); ++i) {
    const float* v = sums.values.data() + i * 3;
    mean.pixels[i] = {v[0] * share, v[1] * share, v[2] * share};
  }
  return render::ToBytes(mean, true);
}

// The summed normals' directions, each component from -1 ... 1 to 0 ... 255;
// a pixel whose samples hit nothing has no direction and stays black.
render::Image8 NormalSumBytes(const render::FloatImage& sums) {
  render::Image8 out{sums.width, sums.height, std::vector<uint8_t>(sums.values.size(), 0)};
  for (size_t i = 0; i + 2 < sums.values.size(); i += 3) {
    const double x = sums.values[i], y = sums.values[i + 1], z = sums.values[i + 2];
    const double length = std::sqrt(x * x + y * y + z * z);
    if (length == 0.0) continue;
    for (size_t c = 0; c < 3; ++c) out.rgb[i + c] = Byte((sums.values[i + c] / length + 1.0) * 0.5);
  }
  return out;
}

// The object index + 1 as a 24-bit number in red, green and blue: data for
// the page to compare, never gamma-encoded.
render::Image8 ObjectBytes(const std::vector<int32_t>& objects, int width, int height) {
  render::Image8 out{width, height, {}};
  out.rgb.reserve(objects.size() * 3);
  for (const int32_t index : objects) {
    const auto v = static_cast<uint32_t>(index + 1) & 0xFFFFFFu;
    out.rgb.push_back(static_cast<uint8_t>(v >> 16));
    out.rgb.push_back(static_cast<uint8_t>((v >> 8) & 0xFFu));
    out.rgb.push_back(static_cast<uint8_t>(v & 0xFFu));
  }
  return out;
}

}  // namespace

std::vector<PassPlan> PassesFor(int width, int height, int samples) {
  samples = std::max(1, samples);
  // A quarter of the pixels' sides is a sixteenth of the work: the first
  // image after an edit comes in a few tens of milliseconds.
  std::vector<PassPlan> passes{{std::max(1, width / 4), std::max(1, height / 4), 1, 0, 1}};
  int done = 0;
  for (const int count : firstCounts) {
    if (count >= samples) break;
    passes.push_back({width, height, samples, done, count});
    done = count;
  }
  passes.push_back({width, height, samples, done, samples});
  return passes;
}

const Aov* AovNamed(const std::string& name) {
  static const std::pair<const char*, Aov> names[] = {
      {"beauty", Aov::Beauty}, {"normal", Aov::Normal}, {"albedo", Aov::Albedo}, {"object", Aov::Object}};
  for (const auto& [text, aov] : names)
    if (name == text) return &aov;
  return nullptr;
}

PassImage::PassImage(PassOutputs outputs)
    : sums(std::move(outputs)), width(sums.color->width), height(sums.color->height) {}

render::Image8 PassImage::Bytes(Aov aov) const {
  switch (aov) {
    case Aov::Normal:
      return sums.normals != nullptr ? NormalSumBytes(*sums.normals) : render::Image8{};
    case Aov::Albedo:
      return sums.albedo != nullptr ? AlbedoBytes(*sums.albedo, sums.shaded) : render::Image8{};
    case Aov::Object:
      return sums.objects != nullptr ? ObjectBytes(*sums.objects, width, height) : render::Image8{};
    case Aov::Beauty:
      break;
  }
  const double factor = static_cast<double>(sums.samples) / sums.shaded;
  if (factor == 1.0) return render::ToBytes(*sums.color, true);
  render::Image mean = *sums.color;
  for (HostVector& p : mean.pixels) p = {p.x * factor, p.y * factor, p.z * factor};
  return render::ToBytes(mean, true);
}

std::shared_ptr<const std::string> PassImage::Png(Aov aov) const {
  std::lock_guard<std::mutex> lock(mutex);
  std::shared_ptr<const std::string>& made = png[static_cast<size_t>(aov)];
  if (made != nullptr) return made;
  const render::Image8 bytes = Bytes(aov);
  made = std::make_shared<const std::string>(bytes.rgb.empty() ? std::string() : FastPng(bytes));
  // The sums behind this image are needed no more.
  if (aov == Aov::Beauty) sums.color.reset();
  if (aov == Aov::Normal) sums.normals.reset();
  if (aov == Aov::Albedo) sums.albedo.reset();
  if (aov == Aov::Object) sums.objects.reset();
  return made;
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
