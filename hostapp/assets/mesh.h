// A polygon mesh as the module sees it: points and polygons of four corner
// indices, a triangle when c == d.
#ifndef TESSALINE_HOSTAPP_ASSETS_MESH_H
#define TESSALINE_HOSTAPP_ASSETS_MESH_H

#include <string>
#include <vector>

#include "host/c4d_host.h"

namespace tess::render {

struct Mesh {
  std::vector<HostVector> points;
  std::vector<HostPolygon> polygons;
};

// Either a mesh or one error line ("file:line: reason" or a JSON path).
struct MeshResult {
  Mesh mesh;
  std::string error;
  bool ok() const { return error.empty(); }
};

// Empty when every index lies inside the point array and every coordinate is
// finite; otherwise a reason naming the first offending polygon or point.
std::string CheckMesh(const Mesh& mesh);

}  // namespace tess::render

#endif
