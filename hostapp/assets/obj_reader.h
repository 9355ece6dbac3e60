// Wavefront OBJ files as polygon meshes that keep their quads and shared
// points, so that adjacency sees the edges polygons share.
#ifndef TESSALINE_HOSTAPP_ASSETS_OBJ_READER_H
#define TESSALINE_HOSTAPP_ASSETS_OBJ_READER_H

#include <string>

#include "hostapp/assets/mesh.h"

namespace tess::render {

// Point i is the i-th `v`, faces in file order: triangles get c == d, quads
// keep their corner order, larger faces of any corner count become triangles and quads
// inside them, in their place (AppendPolygon). Errors read "file:line:
// reason".
MeshResult ReadObj(const std::string& path);

}  // namespace tess::render

#endif
