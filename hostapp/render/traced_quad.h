// The corner order the ray tracer gets for a polygon. Embree splits a quad
// (v0 v1 v2 v3) into the triangles (v0 v1 v3) and (v2 v3 v1), along v1-v3.
// For a concave quad that diagonal lies outside when the reflex corner is a
// or c, and the quad would cover its own notch; such a quad is handed over
// turned by one corner, (b c d a), so that the split runs along a-c, inside.
// The polygon itself, and so what the shaders see, keeps its corners.
#ifndef TESSALINE_HOSTAPP_RENDER_TRACED_QUAD_H
#define TESSALINE_HOSTAPP_RENDER_TRACED_QUAD_H

#include "host/c4d_host.h"

namespace tess::render {

// Whether the quad's inner diagonal is a-c rather than b-d: its corner a or
// c turns against the quad's normal. False for triangles (c == d) and for
// convex quads.
bool SplitsAlongAC(const HostVector* points, const HostPolygon& p);

inline HostPolygon TracedCorners(const HostPolygon& p, bool turned) {
  return turned ? HostPolygon{p.b, p.c, p.d, p.a} : p;
}

}  // namespace tess::render

#endif
