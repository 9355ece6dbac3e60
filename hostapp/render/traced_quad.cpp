#include "hostapp/render/traced_quad.h"

#include "hostapp/assets/vec.h"

namespace tess::render {

bool SplitsAlongAC(const HostVector* points, const HostPolygon& p) {
  if (p.c == p.d) return false;
  const Vec a = points[p.a], b = points[p.b], c = points[p.c], d = points[p.d];
  // The cross product of the diagonals is the quad's normal, also for a
  // concave one (twice its area along the normal).
  const Vec n = Cross(c - a, d - b);
  const auto turn = [&](const Vec& before, const Vec& at, const Vec& after) {
    return Dot(Cross(at - before, after - at), n);
  };
  return turn(d, a, b) < 0.0 || turn(b, c, d) < 0.0;
}

}  // namespace tess::render
