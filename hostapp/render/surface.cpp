#include "hostapp/render/surface.h"

#include "hostapp/assets/vec.h"

namespace tess::render {
namespace {

// Corner weights and the triangle's own corners for (u, v).
struct Half {
  int32_t corner[3];
  double weight[3];
  bool second;
};

Half HalfAt(const HostPolygon& p, double u, double v) {
  if (u + v <= 1.0) return Half{{p.a, p.b, p.d}, {1.0 - u - v, u, v}, false};
  return Half{{p.c, p.d, p.b}, {u + v - 1.0, 1.0 - u, 1.0 - v}, true};
}

}  // namespace

Surface SurfaceAt(const RenderObject& object, int32_t polygon, double u, double v) {
  const HostRayObject& o = object.ray;
  const HostPolygon p = TracedPolygon(object, polygon);
  const Half h = HalfAt(p, u, v);
  Surface s;
  for (int k = 0; k < 3; ++k) s.point = s.point + o.points[h.corner[k]] * h.weight[k];
  s.geometricNormal = GeometricNormalAt(object, polygon, u, v);
  s.shadingNormal = s.geometricNormal;
  if (object.source != nullptr && object.source->smooth) {
    Vec n{0, 0, 0};
    for (int k = 0; k < 3; ++k) n = n + object.pointNormals[h.corner[k]] * h.weight[k];
    if (Length(n) > 0.0) s.shadingNormal = Normalize(n);
  }
  const Vec* pts = o.points;
  // dP/du and dP/dv of the half that holds the point.
  const Vec du = h.second ? pts[p.c] - pts[p.d] : pts[p.b] - pts[p.a];
  const Vec dv = h.second ? pts[p.c] - pts[p.b] : pts[p.d] - pts[p.a];
  s.bumpU = Normalize(du);
  s.bumpV = Normalize(dv);
  if (Length(s.bumpV) == 0.0) s.bumpV = Normalize(Cross(s.geometricNormal, s.bumpU));  // degenerate polygon
  return s;
}

}  // namespace tess::render
