// Mesh files other than OBJ (glTF, FBX, COLLADA, STL, PLY and whatever else
// Assimp reads) as a tree of nodes, each with its own polygons placed by the
// node transforms, in the scenes' frame: y up, lengths in metres where the
// file states its unit.
#ifndef TESSALINE_HOSTAPP_ASSETS_MODEL_IMPORT_H
#define TESSALINE_HOSTAPP_ASSETS_MODEL_IMPORT_H

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "hostapp/assets/polygon_mesh.h"
#include "hostapp/assets/up_axis.h"

namespace tess::assets {

// Items that lie elsewhere, read only.
template <typename T>
struct Span {
  const T* data = nullptr;
  size_t size = 0;
  const T* begin() const { return data; }
  const T* end() const { return data + size; }
  bool empty() const { return size == 0; }
  const T& operator[](size_t i) const { return data[i]; }
};

// A node's points and polygons, wherever they lie: in the node's own mesh
// for a model read in this process, in the reader's answer (Model::storage)
// for one read in the reader process, which the host uses where it lies
// rather than copy it.
struct MeshView {
  Span<HostVector> points;
  Span<HostPolygon> polygons;
};

struct ModelNode {
  std::string name;
  int parent = -1;   // index in Model::nodes; -1 for the root
  int end = 0;       // nodes [own index, end) are this node and its descendants
  PolygonMesh mesh;  // this node's own meshes, placed, as Convert makes them; points are not welded
  MeshView view;     // what to read them through: mesh, or the reader's answer
};

struct Model {
  std::vector<ModelNode> nodes;         // depth first, the root first
  std::string frame;                    // how axes and units were changed, e.g. "z up turned to y up"; empty for none
  size_t skippedFaces = 0;              // points and lines, which are no polygons
  size_t polygons = 0;                  // over all nodes
  double readSeconds = 0.0;             // Assimp's read and validation
  double convertSeconds = 0.0;          // node transforms and polygons
  std::shared_ptr<const void> storage;  // what the views point into, when not the nodes' meshes
};

struct ModelResult {
  std::shared_ptr<const Model> model;  // null on error
  std::string error;                   // one line: "file: reason"
  bool reused = false;                 // ImportModel gave its last model again
};

// The most points a model may have: far beyond what the renderer is for,
// well inside 32-bit indices.
constexpr size_t maxModelPoints = 100'000'000;

struct FileStamp;

// Reads the file with Assimp, in this process. The file passes
// CheckModelFile (hostapp/assets/header_checks.h) first; the files it refers
// to must lie in its folder or below (ConfinedFiles) and pass
// tess::resources::CheckInputFile. Node names come as valid UTF-8.
// Triangles and quads stay as they are, larger polygons become quads and a
// triangle (AppendPolygon); points and lines are left out. A node whose
// transform mirrors gets its polygons' corners reversed, so that they stay
// wound counter-clockwise seen from outside. FBX files are turned from their
// stated axes and unit (UnitScaleFactor, centimetres per unit) to y up and
// metres; COLLADA's up_axis and unit are applied by Assimp; glTF is y up in
// metres by definition. Formats that state no up axis are turned from their
// field's custom (ConventionalUp: z up for STL, PLY, OFF, 3MF, AMF and
// Blender files). `up`, when given, is the file's up axis instead of what
// the file states or its format's custom.
ModelResult ReadModel(const std::string& path, std::optional<UpAxis> up = std::nullopt);
// The same, with the files it read in `opened`; `converting` is called once
// Assimp has read the file, before the model's arrays are made.
ModelResult ReadModel(const std::string& path, std::optional<UpAxis> up, std::vector<FileStamp>& opened,
                      const std::function<void()>& converting = {});

// ReadModel, or the model it gave last time for the same path and up axis
// while none of the files it read has changed since (CachedImport). The host
// reads models through LoadModel (hostapp/assets/isolated_import.h) instead,
// which may read them in a process of their own.
ModelResult ImportModel(const std::string& path, std::optional<UpAxis> up = std::nullopt);

// Whether Assimp reads files with this extension (".stl", any case).
bool ReadsExtension(const std::string& extension);
// The extensions Assimp reads, for messages: "3d 3ds 3mf ...".
std::string Extensions();

}  // namespace tess::assets

#endif
