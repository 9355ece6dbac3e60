// The point at a fraction of a full turn on the unit circle:
// (cos 2πt, sin 2πt). Building a sphere pattern needs one per direction at
// every shaded point, where the C library's sine and cosine cost more than
// the rest of the pattern together. This form stays within an ulp or two of
// them: a table of 64 points round the circle, turned by the short remainder.
#ifndef TESSALINE_SOURCE_SAMPLER_CIRCLE_H
#define TESSALINE_SOURCE_SAMPLER_CIRCLE_H

#include <array>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define TESSALINE_CIRCLE_PAIRS 1
#endif

struct CirclePoint {
  double cos;
  double sin;
};

namespace circle_detail {

constexpr int segments = 64;

// cos and sin of angles up to pi / 4 by their Taylor series in long double,
// evaluated by the compiler; 30 terms leave no error a double could hold.
constexpr CirclePoint SeriesPoint(long double a) {
  long double c = 0.0L, s = 0.0L, term = 1.0L;
  for (int n = 0; n < 30; ++n) {
    if (n % 2 == 0) {
      c += (n % 4 == 0) ? term : -term;
    } else {
      s += (n % 4 == 1) ? term : -term;
    }
    term *= a / (n + 1);
  }
  return {static_cast<double>(c), static_cast<double>(s)};
}

// Entry k is the point at k / 64 of a turn, for k = 0 ... 64; angles past
// the first eighth come from it by symmetry.
constexpr std::array<CirclePoint, segments + 1> MakeTable() {
  constexpr long double sixtyFourthOfTurn = 0.098174770424681038701957605727484465L;
  std::array<CirclePoint, segments + 1> table{};
  for (int k = 0; k <= segments; ++k) {
    const int quadrant = (k / 16) % 4;
    const int m = k % 16;
    const CirclePoint inOctant = SeriesPoint((m <= 8 ? m : 16 - m) * sixtyFourthOfTurn);
    const CirclePoint inQuadrant = m <= 8 ? inOctant : CirclePoint{inOctant.sin, inOctant.cos};
    const double c = inQuadrant.cos, s = inQuadrant.sin;
    const CirclePoint turned[4] = {{c, s}, {-s, c}, {-c, -s}, {s, -c}};
    table[k] = turned[quadrant];
  }
  return table;
}

inline constexpr std::array<CirclePoint, segments + 1> table = MakeTable();

// The short series on the remainder a (|a| <= pi / 64), to a^7 and a^8: the
// first omitted terms stay below 1e-17.
constexpr double sin3 = -1.0 / 6, sin5 = 1.0 / 120, sin7 = -1.0 / 5040;
constexpr double cos2 = -0.5, cos4 = 1.0 / 24, cos6 = -1.0 / 720, cos8 = 1.0 / 40320;
constexpr double turn = 6.283185307179586;

}  // namespace circle_detail

// For t in [0, 1]; other t are outside what a pattern holds.
inline CirclePoint PointOnCircle(double t) {
  using namespace circle_detail;
  // Nearest table point k, and the exact remainder r in [-1/128, 1/128]:
  // below 1/128, k = 0 and r = t; above, t's spacing is fine enough to hold r.
  const int k = static_cast<int>(t * segments + 0.5);  // NOLINT(bugprone-incorrect-roundings): t is never negative
  const double r = t - k * (1.0 / segments);
  const double a = turn * r;
  const double a2 = a * a;
  const double s = a * (1.0 + a2 * (sin3 + a2 * (sin5 + a2 * sin7)));
  const double c = 1.0 + a2 * (cos2 + a2 * (cos4 + a2 * (cos6 + a2 * cos8)));
  const CirclePoint& p = table[k];
  return {p.cos * c - p.sin * s, p.sin * c + p.cos * s};
}

#if TESSALINE_CIRCLE_PAIRS
// Two points at once, lane i holding PointOnCircle(t_i) bit for bit: the same
// operations in the same order, two lanes wide.
struct CirclePair {
  __m128d cos;
  __m128d sin;
};

inline CirclePair PointsOnCircle(__m128d t) {
  using namespace circle_detail;
  const auto constant = [](double v) { return _mm_set1_pd(v); };
  const __m128i k = _mm_cvttpd_epi32(_mm_add_pd(_mm_mul_pd(t, constant(segments)), constant(0.5)));
  const __m128d r = _mm_sub_pd(t, _mm_mul_pd(_mm_cvtepi32_pd(k), constant(1.0 / segments)));
  const __m128d a = _mm_mul_pd(constant(turn), r);
  const __m128d a2 = _mm_mul_pd(a, a);
  __m128d s = _mm_add_pd(constant(sin5), _mm_mul_pd(a2, constant(sin7)));
  s = _mm_add_pd(constant(sin3), _mm_mul_pd(a2, s));
  s = _mm_mul_pd(a, _mm_add_pd(constant(1.0), _mm_mul_pd(a2, s)));
  __m128d c = _mm_add_pd(constant(cos6), _mm_mul_pd(a2, constant(cos8)));
  c = _mm_add_pd(constant(cos4), _mm_mul_pd(a2, c));
  c = _mm_add_pd(constant(cos2), _mm_mul_pd(a2, c));
  c = _mm_add_pd(constant(1.0), _mm_mul_pd(a2, c));
  const __m128d p0 = _mm_loadu_pd(&table[_mm_cvtsi128_si32(k)].cos);
  const __m128d p1 = _mm_loadu_pd(&table[_mm_cvtsi128_si32(_mm_shuffle_epi32(k, 1))].cos);
  const __m128d pc = _mm_unpacklo_pd(p0, p1), ps = _mm_unpackhi_pd(p0, p1);
  return {_mm_sub_pd(_mm_mul_pd(pc, c), _mm_mul_pd(ps, s)), _mm_add_pd(_mm_mul_pd(ps, c), _mm_mul_pd(pc, s))};
}
#endif

#endif
