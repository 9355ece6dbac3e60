// Vector arithmetic on the contract's HostVector, for the renderer's own use.
#ifndef TESSALINE_HOSTAPP_ASSETS_VEC_H
#define TESSALINE_HOSTAPP_ASSETS_VEC_H

#include <cmath>

#include "host/c4d_host.h"

namespace tess::render {

using Vec = HostVector;

inline Vec operator+(const Vec& a, const Vec& b) {
  return {a.x + b.x, a.y + b.y, a.z + b.z};
}
inline Vec operator-(const Vec& a, const Vec& b) {
  return {a.x - b.x, a.y - b.y, a.z - b.z};
}
inline Vec operator-(const Vec& a) {
  return {-a.x, -a.y, -a.z};
}
inline Vec operator*(const Vec& a, double s) {
  return {a.x * s, a.y * s, a.z * s};
}
inline Vec operator*(double s, const Vec& a) {
  return a * s;
}
inline Vec Mul(const Vec& a, const Vec& b) {
  return {a.x * b.x, a.y * b.y, a.z * b.z};
}
inline double Dot(const Vec& a, const Vec& b) {
  return a.x * b.x + a.y * b.y + a.z * b.z;
}
inline Vec Cross(const Vec& a, const Vec& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline double Length(const Vec& a) {
  return std::sqrt(Dot(a, a));
}
// A zero vector stays zero rather than turning into NaNs.
inline Vec Normalize(const Vec& a) {
  const double l = Length(a);
  return l > 0.0 ? a * (1.0 / l) : Vec{0, 0, 0};
}
inline bool Finite(const Vec& a) {
  return std::isfinite(a.x) && std::isfinite(a.y) && std::isfinite(a.z);
}

}  // namespace tess::render

#endif
