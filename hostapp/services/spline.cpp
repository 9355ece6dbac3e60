#include "hostapp/services/spline.h"

#include <algorithm>
#include <cmath>

namespace {

const tess::host::CustomData* SplineFromHandle(const void* handle) {
  return static_cast<const HostSpline*>(handle);
}

// Containers copy curves handed over by the module through this; it runs
// whenever curves are linked in at all.
const bool registered = (tess::host::RegisterDataType(HOST_DATATYPE_SPLINE, SplineFromHandle), true);

// Fritsch-Carlson tangents. Knots of equal x split the curve into pieces that
// are treated as separate curves, so a step does not bend its neighbours.
std::vector<double> MonotoneTangents(const std::vector<HostSpline::Knot>& k) {
  const size_t n = k.size();
  std::vector<double> m(n, 0.0);
  if (n < 2) return m;
  std::vector<double> slope(n - 1, 0.0);
  std::vector<bool> open(n - 1, false);
  for (size_t i = 0; i + 1 < n; ++i) {
    const double h = k[i + 1].x - k[i].x;
    open[i] = h > 0.0;
    if (open[i]) slope[i] = (k[i + 1].y - k[i].y) / h;
  }
  for (size_t i = 0; i < n; ++i) {
    const bool left = i > 0 && open[i - 1];
    const bool right = i + 1 < n && open[i];
    if (left && right) {
      const double l = slope[i - 1];
      const double r = slope[i];
      // A local extremum gets a flat tangent, which is what keeps the curve
      // from overshooting the knot.
      m[i] = (l > 0.0 && r > 0.0) || (l < 0.0 && r < 0.0) ? 0.5 * (l + r) : 0.0;
    } else if (left) {
      m[i] = slope[i - 1];
    } else if (right) {
      m[i] = slope[i];
    }
  }
  for (size_t i = 0; i + 1 < n; ++i) {
    if (!open[i]) continue;
    if (slope[i] == 0.0) {
      m[i] = 0.0;
      m[i + 1] = 0.0;
      continue;
    }
    const double alpha = m[i] / slope[i];
    const double beta = m[i + 1] / slope[i];
    const double s = alpha * alpha + beta * beta;
    if (s > 9.0) {
      const double tau = 3.0 / std::sqrt(s);
      m[i] = tau * alpha * slope[i];
      m[i + 1] = tau * beta * slope[i];
    }
  }
  return m;
}

}  // namespace

bool HostSpline::SetKnots(std::vector<Knot> next) {
  for (const Knot& k : next) {
    if (!std::isfinite(k.x) || !std::isfinite(k.y)) return false;
  }
  std::stable_sort(next.begin(), next.end(), [](const Knot& a, const Knot& b) { return a.x < b.x; });
  tangents = MonotoneTangents(next);
  knots = std::move(next);
  return true;
}

bool HostSpline::SetLinePreset(int32_t pointCount) {
  if (pointCount < 2 || pointCount > maxPresetKnots) return false;
  std::vector<Knot> line(static_cast<size_t>(pointCount));
  for (int32_t i = 0; i < pointCount; ++i) {
    const double v = i == pointCount - 1 ? 1.0 : static_cast<double>(i) / (pointCount - 1);
    line[static_cast<size_t>(i)] = Knot{v, v};
  }
  return SetKnots(std::move(line));
}

double HostSpline::Evaluate(double x) const {
  if (knots.empty()) return 0.0;
  if (std::isnan(x) || x <= knots.front().x) return knots.front().y;
  if (x >= knots.back().x) return knots.back().y;
  // The last knot at or below x starts the piece; knots of equal x are
  // stepped over, so the piece always has a width.
  const auto next = std::upper_bound(knots.begin(), knots.end(), x, [](double v, const Knot& k) { return v < k.x; });
  const size_t i = static_cast<size_t>(next - knots.begin()) - 1;
  const Knot& k0 = knots[i];
  const Knot& k1 = knots[i + 1];
  const double h = k1.x - k0.x;
  const double t = (x - k0.x) / h;
  const double rise = k1.y - k0.y;
  // Hermite form written as the chord plus a correction. With tangents equal
  // to the chord's slope the correction is exactly 0, so a straight piece
  // evaluates to the exact linear interpolation.
  const double d0 = h * tangents[i] - rise;
  const double d1 = h * tangents[i + 1] - rise;
  return k0.y + t * rise + t * (1.0 - t) * ((1.0 - t) * d0 - t * d1);
}
