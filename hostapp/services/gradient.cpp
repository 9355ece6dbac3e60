#include "hostapp/services/gradient.h"

#include <algorithm>
#include <cmath>

namespace {

const tess::host::CustomData* GradientFromHandle(const void* handle) {
  return static_cast<const HostGradient*>(handle);
}

// Containers copy gradients handed over by the module through this; it runs
// whenever gradients are linked in at all.
const bool registered = (tess::host::RegisterDataType(HOST_DATATYPE_GRADIENT, GradientFromHandle), true);

void SortByPosition(std::vector<HostGradientKnot>& k) {
  // Stable, so that knots at one position keep their insertion order and the
  // later one wins from that position on.
  std::stable_sort(k.begin(), k.end(),
                   [](const HostGradientKnot& a, const HostGradientKnot& b) { return a.position < b.position; });
}

HostVector Scaled(const HostGradientKnot& k) {
  return HostVector{k.color.x * k.brightness, k.color.y * k.brightness, k.color.z * k.brightness};
}

// Warps t in [0, 1] so that t = 0.5 maps to the bias: t^(log b / log 0.5).
// A bias of exactly 0.5 gives the exponent 1 and leaves t untouched. The bias
// is kept off 0 and 1, where the exponent would be infinite or 0.
double Warp(double t, double bias) {
  if (!(bias > 0.0 && bias < 1.0)) bias = bias >= 1.0 ? 1.0 - 1e-6 : bias <= 0.0 ? 1e-6 : 0.5;
  if (bias == 0.5) return t;
  return std::pow(t, std::log(bias) / std::log(0.5));
}

HostVector EvaluateSorted(const std::vector<HostGradientKnot>& k, double position) {
  if (k.empty()) return HostVector{0.0, 0.0, 0.0};
  if (std::isnan(position)) position = 0.0;
  position = std::clamp(position, 0.0, 1.0);
  if (position <= k.front().position) return Scaled(k.front());
  if (position >= k.back().position) return Scaled(k.back());
  const auto next = std::upper_bound(k.begin(), k.end(), position,
                                     [](double p, const HostGradientKnot& knot) { return p < knot.position; });
  const HostGradientKnot& left = *(next - 1);
  const HostGradientKnot& right = *next;
  const double t = Warp((position - left.position) / (right.position - left.position), left.bias);
  const HostVector a = Scaled(left);
  const HostVector b = Scaled(right);
  return HostVector{a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t, a.z + (b.z - a.z) * t};
}

}  // namespace

HostGradientKnot HostGradient::DefaultKnot() {
  HostGradientKnot k{};
  k.brightness = 1.0;
  k.bias = 0.5;
  return k;
}

bool HostGradient::InsertKnot(const HostGradientKnot& knot) {
  const double numbers[] = {knot.color.x, knot.color.y, knot.color.z, knot.brightness, knot.position, knot.bias};
  for (double v : numbers) {
    if (!std::isfinite(v)) return false;
  }
  knots.push_back(knot);
  return true;
}

bool HostGradient::InitRender() {
  if (knots.empty()) {
    FreeRender();
    return false;
  }
  render = knots;
  SortByPosition(render);
  prepared = true;
  return true;
}

void HostGradient::FreeRender() {
  render.clear();
  prepared = false;
}

HostVector HostGradient::Evaluate(double position) const {
  if (prepared) return EvaluateSorted(render, position);
  std::vector<HostGradientKnot> sorted = knots;
  SortByPosition(sorted);
  return EvaluateSorted(sorted, position);
}

std::unique_ptr<tess::host::CustomData> HostGradient::Clone() const {
  auto copy = std::make_unique<HostGradient>();
  copy->knots = knots;
  return copy;
}
