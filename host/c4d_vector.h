// The renderer's vector: 64-bit components, used for points, directions,
// normals and colours.
#ifndef TESSALINE_HOST_C4D_VECTOR_H
#define TESSALINE_HOST_C4D_VECTOR_H

#include "host/c4d_host.h"

struct Vector {
  double x = 0.0, y = 0.0, z = 0.0;

  constexpr Vector() = default;
  constexpr Vector(double xv, double yv, double zv) : x(xv), y(yv), z(zv) {}
  constexpr explicit Vector(double v) : x(v), y(v), z(v) {}
  constexpr Vector(const HostVector& v) : x(v.x), y(v.y), z(v.z) {}  // NOLINT: records convert freely
  constexpr operator HostVector() const { return HostVector{x, y, z}; }

  constexpr Vector operator+(const Vector& o) const { return {x + o.x, y + o.y, z + o.z}; }
  constexpr Vector operator-(const Vector& o) const { return {x - o.x, y - o.y, z - o.z}; }
  constexpr Vector operator-() const { return {-x, -y, -z}; }
  constexpr Vector operator*(double k) const { return {x * k, y * k, z * k}; }
  Vector& operator+=(const Vector& o) {
    x += o.x;
    y += o.y;
    z += o.z;
    return *this;
  }
  constexpr bool operator==(const Vector& o) const { return x == o.x && y == o.y && z == o.z; }
  constexpr bool operator!=(const Vector& o) const { return !(*this == o); }
};

#endif
