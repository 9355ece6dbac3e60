#include "hostapp/render/world.h"

#include "hostapp/render/out_of_memory.h"
#include "hostapp/render/traced_quad.h"
#include "hostapp/assets/vec.h"

namespace tess::render {

namespace {

// The plane normal of the triangle (first, second, third), or the whole
// polygon's where the triangle is degenerate (a triangle's second half is).
HostVector HalfNormal(const HostVector* points, const HostPolygon& p, int32_t first, int32_t second, int32_t third) {
  const Vec n = Cross(points[second] - points[first], points[third] - points[first]);
  return Length(n) > 0.0 ? Normalize(n) : PolygonNormal(points, p);
}

}  // namespace

HostVector PolygonNormal(const HostVector* points, const HostPolygon& p) {
  const Vec a = points[p.a], b = points[p.b], c = points[p.c];
  if (p.c == p.d) return Normalize(Cross(b - a, c - a));
  return Normalize(Cross(c - a, points[p.d] - b));
}

namespace {

// The point and half normals that shading reads, beside the scene's mesh.
void FillNormals(const SceneObject& s, RenderObject& o) {
  // Unnormalised cross products weigh each polygon by its area.
  o.pointNormals.assign(s.mesh.points.size(), Vec{0, 0, 0});
  for (const HostPolygon& p : s.mesh.polygons) {
    const Vec* pts = s.mesh.points.data();
    const Vec n = p.c == p.d ? 0.5 * Cross(pts[p.b] - pts[p.a], pts[p.c] - pts[p.a])
                             : 0.5 * Cross(pts[p.c] - pts[p.a], pts[p.d] - pts[p.b]);
    for (const int32_t k : {p.a, p.b, p.c, p.d}) o.pointNormals[k] = o.pointNormals[k] + n;
    if (p.c == p.d) o.pointNormals[p.c] = o.pointNormals[p.c] - n;  // c counted twice
  }
  for (Vec& n : o.pointNormals) n = Normalize(n);
  o.halfNormals.reserve(2 * s.mesh.polygons.size());
  o.turned.reserve(s.mesh.polygons.size());
  for (const HostPolygon& p : s.mesh.polygons) {
    o.turned.push_back(SplitsAlongAC(s.mesh.points.data(), p));
    const HostPolygon t = TracedCorners(p, o.turned.back());
    o.halfNormals.push_back(HalfNormal(s.mesh.points.data(), p, t.a, t.b, t.d));
    o.halfNormals.push_back(HalfNormal(s.mesh.points.data(), p, t.c, t.d, t.b));
  }
}

}  // namespace

std::vector<RenderObject> MakeRenderObjects(const Scene& scene) {
  std::vector<RenderObject> objects(scene.objects.size());
  for (size_t i = 0; i < scene.objects.size(); ++i) {
    const SceneObject& s = scene.objects[i];
    RenderObject& o = objects[i];
    o.source = &s;
    o.ray.points = s.mesh.points.data();
    o.ray.pointCount = static_cast<int32_t>(s.mesh.points.size());
    o.ray.polygons = s.mesh.polygons.data();
    o.ray.polygonCount = static_cast<int32_t>(s.mesh.polygons.size());
    o.ray.source = s.host.get();
    const uint64_t bytes = sizeof(HostVector) * (uint64_t{s.mesh.points.size()} + 2 * uint64_t{s.mesh.polygons.size()});
    Allocate(
        "the shading normals of object \"" + s.name + "\" (" + std::to_string(s.mesh.polygons.size()) + " polygons)",
        bytes, [&] {
          FillNormals(s, o);
          return true;
        });
  }
  return objects;
}

}  // namespace tess::render
