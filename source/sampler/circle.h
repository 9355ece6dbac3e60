// The point at a fraction of a full turn on the unit circle:
// (cos 2πt, sin 2πt). Building a sphere pattern needs one per direction at
// every shaded point, where the C library's sine and cosine cost more than
// the rest of the pattern together. This form stays within an ulp or two of
// them: a table of 64 points round the circle, turned by the short remainder.
#ifndef TESSALINE_SOURCE_SAMPLER_CIRCLE_H
#define TESSALINE_SOURCE_SAMPLER_CIRCLE_H

#include <array>

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

}  // namespace circle_detail

// For t in [0, 1]; other t are outside what a pattern holds.
inline CirclePoint PointOnCircle(double t) {
  // Nearest table point k, and the exact remainder r in [-1/128, 1/128]:
  // below 1/128, k = 0 and r = t; above, t's spacing is fine enough to hold r.
  const int k = static_cast<int>(t * circle_detail::segments + 0.5);
  const double r = t - k * (1.0 / circle_detail::segments);
  const double a = 6.283185307179586 * r;  // |a| <= pi / 64
  const double a2 = a * a;
  // Taylor series to a^7 and a^8: the first omitted terms stay below 1e-17.
  const double s = a * (1.0 + a2 * (-1.0 / 6 + a2 * (1.0 / 120 + a2 * (-1.0 / 5040))));
  const double c = 1.0 + a2 * (-0.5 + a2 * (1.0 / 24 + a2 * (-1.0 / 720 + a2 * (1.0 / 40320))));
  const CirclePoint& p = circle_detail::table[k];
  return {p.cos * c - p.sin * s, p.sin * c + p.cos * s};
}

#endif
