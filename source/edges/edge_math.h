// Vector and polygon geometry of the edge shaders. Pure functions: no host
// calls, so they can be tested and measured on their own. Their exact forms
// matter, since renders are compared value for value.
#ifndef TESSALINE_SOURCE_EDGES_EDGE_MATH_H
#define TESSALINE_SOURCE_EDGES_EDGE_MATH_H

#include <cmath>

#include "host/c4d_render.h"

namespace edges {

// pi rounded to single precision: folded-back faces compare as this, which is
// just above pi in double precision.
constexpr double piSingle = 3.1415927410125732;

inline double Dot(const Vector& u, const Vector& v) {
  return u.x * v.x + u.y * v.y + u.z * v.z;
}

inline Vector Cross(const Vector& u, const Vector& v) {
  return Vector(u.y * v.z - u.z * v.y, u.z * v.x - u.x * v.z, u.x * v.y - u.y * v.x);
}

inline double Length(const Vector& v) {
  return std::sqrt(Dot(v, v));
}

// A vector of length 0 stays (0, 0, 0).
inline Vector Normalize(const Vector& v) {
  const double length = Length(v);
  return length == 0.0 ? Vector() : v * (1.0 / length);
}

// (0, 0, 0) when k is 0.
inline Vector DivideBy(const Vector& v, double k) {
  return k == 0.0 ? Vector() : v * (1.0 / k);
}

inline Vector Lerp(const Vector& p, const Vector& q, double t) {
  return p + (q - p) * t;
}

// Offset of p from the infinite line through a with direction d.
inline Vector LineOffset(const Vector& a, const Vector& d, const Vector& p) {
  const double dd = Dot(d, d);
  if (dd == 0.0) return Vector();
  const double t = Dot(p - a, d) / dd;
  return p - (a + d * t);
}

inline bool IsTriangle(const CPolygon& poly) {
  return poly.c == poly.d;
}

inline Vector FaceNormal(const HostVector* points, const CPolygon& poly) {
  const Vector a = points[poly.a], b = points[poly.b], c = points[poly.c];
  if (IsTriangle(poly)) return Normalize(Cross(b - a, c - a));
  return Normalize(Cross(b - points[poly.d], c - a));
}

inline Vector FaceCentre(const HostVector* points, const CPolygon& poly) {
  const Vector abc = (Vector(points[poly.a]) + points[poly.b]) + points[poly.c];
  if (IsTriangle(poly)) return DivideBy(abc, 3.0);
  return DivideBy(abc + points[poly.d], 4.0);
}

// Cosine of the angle between u and v, as the angle is measured from it.
inline double AngleCosine(const Vector& u, const Vector& v) {
  const double s = Dot(u, u) * Dot(v, v);
  const double r = s == 0.0 ? 0.0 : 1.0 / s;
  return Dot(u, v) * std::sqrt(r);
}

inline double AngleFromCosine(double c) {
  if (c >= 1.0) return 0.0;
  if (c <= -1.0) return piSingle;
  return std::acos(c);
}

// Angle between u and v; an angle with a zero vector is pi/2.
inline double Angle(const Vector& u, const Vector& v) {
  return AngleFromCosine(AngleCosine(u, v));
}

// An accepted range of angles, with the cosines of its bounds, so that most
// tests need no arc cosine.
struct AngleWindow {
  double min = 0.0, max = 0.0;
  double cosMin = 0.0, cosMax = 0.0;
  bool byCosine = false;  // the bounds lie in [0, pi], where the cosine is monotone

  AngleWindow() = default;
  AngleWindow(double lo, double hi)
      : min(lo), max(hi), cosMin(std::cos(lo)), cosMax(std::cos(hi)), byCosine(0.0 <= lo && lo <= hi && hi <= PI) {}

  // min <= Angle(u, v) <= max, exactly as if the angle were measured. Where
  // the cosine lies within a hair of a bound's cosine, the angle is measured:
  // the hair (1e-9) is far wider than the rounding of cos and acos.
  bool Contains(const Vector& u, const Vector& v) const { return ContainsCosine(AngleCosine(u, v)); }
  bool ContainsCosine(double c) const {
    if (byCosine && c > -1.0 && c < 1.0) {
      constexpr double hair = 1e-9;
      if (c < cosMin - hair && c > cosMax + hair) return true;
      if (c > cosMin + hair || c < cosMax - hair) return false;
    }
    const double alpha = AngleFromCosine(c);
    return min <= alpha && alpha <= max;
  }
};

// A normal as a colour of the normal channel.
inline Vector EncodeNormal(const Vector& n) {
  return Vector(0.5 * n.x + 0.5, 0.5 * n.y + 0.5, 0.5 - 0.5 * n.z);
}

// The two corners of a polygon's side: a-b, b-c, c-d (c-a in a triangle), d-a.
// A triangle has no side 3.
inline int SideCount(const CPolygon& poly) {
  return IsTriangle(poly) ? 3 : 4;
}
inline void SideCorners(const CPolygon& poly, int side, Int32* first, Int32* second) {
  switch (side) {
    case 0:
      *first = poly.a;
      *second = poly.b;
      break;
    case 1:
      *first = poly.b;
      *second = poly.c;
      break;
    case 2:
      *first = poly.c;
      *second = IsTriangle(poly) ? poly.a : poly.d;
      break;
    default:
      *first = poly.d;
      *second = poly.a;
      break;
  }
}

// Edge number of a side in an edge selection.
inline Int32 EdgeNumber(Int32 polygon, int side) {
  return 4 * polygon + side;
}

}  // namespace edges

#endif
