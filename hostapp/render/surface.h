// What the renderer knows about a point on a polygon: position, the
// polygon's geometric normal, the shading normal and the surface directions
// along which bump samples are taken.
#ifndef TESSALINE_HOSTAPP_RENDER_SURFACE_H
#define TESSALINE_HOSTAPP_RENDER_SURFACE_H

#include "hostapp/render/world.h"

namespace tess::render {

struct Surface {
  HostVector point{0, 0, 0};
  HostVector geometricNormal{0, 0, 0};  // as wound, never turned toward the viewer
  HostVector shadingNormal{0, 0, 0};
  HostVector bumpU{0, 0, 0};  // unit dP/du of the quad parametrisation
  HostVector bumpV{0, 0, 0};  // unit dP/dv
};

// (u, v) in Embree's quad parametrisation of the traced corners
// (TracedPolygon): corner a at (0, 0), b at (1, 0), c at (1, 1), d at (0, 1),
// linear over the triangles (a, b, d) and (c, d, b). A concave quad traced
// turned has b, c, d, a there instead.
Surface SurfaceAt(const RenderObject& object, int32_t polygon, double u, double v);
// The geometric normal of the half of the polygon that (u, v) lies in.
inline HostVector GeometricNormalAt(const RenderObject& object, int32_t polygon, double u, double v) {
  return object.halfNormals[2 * static_cast<size_t>(polygon) + (u + v <= 1.0 ? 0 : 1)];
}

}  // namespace tess::render

#endif
