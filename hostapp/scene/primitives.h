// Built-in meshes: proper quad meshes whose neighbouring polygons share their
// points, wound counter-clockwise seen from outside (right-handed, y up).
#ifndef TESSALINE_HOSTAPP_SCENE_PRIMITIVES_H
#define TESSALINE_HOSTAPP_SCENE_PRIMITIVES_H

#include <optional>
#include <string>

#include "hostapp/assets/mesh.h"

namespace tess::render {

// A cube of edge `size`: 8 points, 6 quads.
Mesh MakeCube(double size);
// A square of edge `size` in the xz plane facing +y, segments × segments quads.
Mesh MakePlane(double size, int segments);
// A sphere of diameter `size`: segments around, segments / 2 rings; the rows
// at the poles are triangles sharing one pole point.
Mesh MakeSphere(double size, int segments);
// A closed cylinder of diameter and height `size` along y; caps are fans of
// triangles around a centre point.
Mesh MakeCylinder(double size, int segments);
// A torus of outer diameter `size` around y; segments around the ring,
// sides around the tube.
Mesh MakeTorus(double size, int segments, int sides);

// By name; nothing for an unknown name. segments <= 0 picks the default.
std::optional<Mesh> MakePrimitive(const std::string& name, double size, int segments);
// The names MakePrimitive knows, for messages.
const char* PrimitiveNames();

}  // namespace tess::render

#endif
