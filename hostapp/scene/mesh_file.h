// A scene's "mesh": {"file": ...}: an OBJ through the project's own reader,
// any other format through Assimp (hostapp/assets), one node or all of them,
// then welded.
#ifndef TESSALINE_HOSTAPP_SCENE_MESH_FILE_H
#define TESSALINE_HOSTAPP_SCENE_MESH_FILE_H

#include <cstddef>
#include <optional>
#include <string>

#include "hostapp/scene/json_access.h"
#include "hostapp/assets/mesh.h"
#include "hostapp/assets/up_axis.h"

namespace tess::render {

struct WeldSetting {
  enum class Mode { Off, Relative, Absolute } mode = Mode::Relative;
  double value = 1e-6;  // Relative: share of the bounding-box diagonal; Absolute: a distance
};

struct MeshFileRequest {
  std::string path;
  std::string node;      // a node's name; empty: see nodeNumber
  int nodeNumber = -1;   // a node by its number, depth first from the root (0); -1 with no name: the whole file
  bool children = true;  // the node's descendants too
  WeldSetting weld;
  std::optional<assets::UpAxis> up;  // the file's up axis; none: what the file states, else its format's custom
};

// What reading a mesh file did, for --stats and the warning about drops.
struct MeshFileReport {
  std::string file;
  double readSeconds = 0.0;     // the reader's own (Assimp's read and validation), at the file's first read
  double convertSeconds = 0.0;  // node transforms and polygons
  double weldSeconds = 0.0;
  bool reused = false;  // the file's last import was used again: the times are that import's
  bool welded = false;
  double weldDistance = 0.0;
  size_t pointsRead = 0, points = 0;
  size_t polygonsRead = 0, polygonsDropped = 0;
  std::string frame;  // axes and units changed, e.g. "z up turned to y up"
};

struct MeshFileResult {
  Mesh mesh;
  MeshFileReport report;
  std::string error;  // one line, "file: reason" or "file:line: reason"
  bool ok() const { return error.empty(); }
};

// The extension decides the reader: ".obj" (any case) the OBJ reader, which
// keeps the file's point and polygon order and has no nodes; every other
// extension Assimp. A request for a node that is not in the file, a file
// without polygons, or one whose polygons welding leaves none of, is an error.
MeshFileResult ReadMeshFile(const MeshFileRequest& request);

bool IsObjFile(const std::string& path);

// A scene's mesh object with "file" (relative to `folder`) and the keys that
// go with it, "node", "children", "weld" and "up": the mesh, with what reading it
// did in `report`. Throws JsonError for the keys, std::runtime_error with the
// reader's line for the file.
Mesh ReadFileMesh(const Json& j, const std::string& path, const std::string& folder,
                  std::optional<MeshFileReport>& report);

}  // namespace tess::render

#endif
