#include "hostapp/assets/model_import.h"

#include <assimp/DefaultIOSystem.h>
#include <assimp/Importer.hpp>
#include <assimp/config.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <new>
#include <system_error>

#include "hostapp/assets/confined_files.h"
#include "hostapp/assets/header_checks.h"
#include "hostapp/assets/import_cache.h"
#include "hostapp/assets/up_axis.h"
#include "hostapp/assets/utf8.h"

namespace tess::assets {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// An affine transform in double precision: rows of [linear | translation].
struct Affine {
  double m[3][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}};

  static Affine From(const aiMatrix4x4& a) {
    Affine t;
    const ai_real* rows[3] = {a[0], a[1], a[2]};
    for (int r = 0; r < 3; ++r)
      for (int c = 0; c < 4; ++c) t.m[r][c] = static_cast<double>(rows[r][c]);
    return t;
  }
  Affine operator*(const Affine& b) const {
    Affine t;
    for (int r = 0; r < 3; ++r)
      for (int c = 0; c < 4; ++c) {
        double v = c == 3 ? m[r][3] : 0.0;
        for (int k = 0; k < 3; ++k) v += m[r][k] * b.m[k][c];
        t.m[r][c] = v;
      }
    return t;
  }
  HostVector Apply(const aiVector3D& p) const {
    const double x = p.x, y = p.y, z = p.z;
    return {m[0][0] * x + m[0][1] * y + m[0][2] * z + m[0][3], m[1][0] * x + m[1][1] * y + m[1][2] * z + m[1][3],
            m[2][0] * x + m[2][1] * y + m[2][2] * z + m[2][3]};
  }
  double Determinant() const {
    return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) - m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
           m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
  }
};

template <typename T>
bool Meta(const aiScene& scene, const char* key, T& value) {
  return scene.mMetaData != nullptr && scene.mMetaData->Get(std::string(key), value);
}

// FBX states its axes (which file axis points up, to the front and to the
// right, each with a sign) and its unit as centimetres per unit. Assimp
// records them without applying them; this turns them into y up, z to the
// front, x to the right, in metres. With `turnAxes` false (the user said which
// axis is up) only the unit is applied.
Affine FbxFrame(const aiScene& scene, bool turnAxes, std::string& frame) {
  int32_t up = 1, upSign = 1, front = 2, frontSign = 1, coord = 0, coordSign = 1;
  Meta(scene, "UpAxis", up);
  Meta(scene, "UpAxisSign", upSign);
  Meta(scene, "FrontAxis", front);
  Meta(scene, "FrontAxisSign", frontSign);
  Meta(scene, "CoordAxis", coord);
  Meta(scene, "CoordAxisSign", coordSign);
  double unit = 1.0;
  float unitFloat = 1.0f;
  if (!Meta(scene, "UnitScaleFactor", unit) && Meta(scene, "UnitScaleFactor", unitFloat)) unit = unitFloat;
  Affine t;
  const bool valid = up >= 0 && up < 3 && front >= 0 && front < 3 && coord >= 0 && coord < 3 && up != front &&
                     up != coord && front != coord;
  if (turnAxes && valid && !(up == 1 && front == 2 && coord == 0 && upSign > 0 && frontSign > 0 && coordSign > 0)) {
    // Row r of the new frame reads the file axis that becomes x, y, z.
    const int axes[3] = {coord, up, front};
    const int signs[3] = {coordSign < 0 ? -1 : 1, upSign < 0 ? -1 : 1, frontSign < 0 ? -1 : 1};
    for (int r = 0; r < 3; ++r)
      for (int c = 0; c < 3; ++c) t.m[r][c] = c == axes[r] ? signs[r] : 0.0;
    static const char* const names[3] = {"x", "y", "z"};
    frame = std::string(upSign < 0 ? "-" : "") + names[up] + " up turned to y up";
  }
  const double metres = unit / 100.0;
  if (std::isfinite(metres) && metres > 0.0 && metres != 1.0) {
    for (auto& row : t.m)
      for (int c = 0; c < 3; ++c) row[c] *= metres;
    frame += std::string(frame.empty() ? "" : ", ") + "scaled by " + std::to_string(metres) + " to metres";
  }
  return t;
}

// Formats that state no up axis are turned from their field's custom; FBX
// and COLLADA state theirs and are turned already (by FbxFrame and by
// Assimp); the user's up axis stands instead of any of these.
Affine TurnedUp(const std::string& extension, std::optional<UpAxis> up, std::string& frame) {
  const std::string e = Lower(extension);
  const UpAxis axis = up ? *up : e == ".fbx" || e == ".dae" ? UpAxis::Y : ConventionalUp(e);
  Affine t;
  const Turn turn = TurnToYUp(axis);
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) t.m[r][c] = turn.m[r][c];
  const std::string text = TurnText(axis);
  if (!text.empty()) frame = text + (frame.empty() ? "" : ", " + frame);
  return t;
}

std::string Quoted(const aiString& name) {
  return "'" + OneLine(name.C_Str()) + "'";
}

// Walks the node tree depth first (without recursion: a file may nest
// deeply) and places each node's meshes.
std::string Convert(const aiScene& scene, const Affine& root, const std::string& path, Model& model) {
  struct Pending {
    const aiNode* node;
    int parent;
    Affine world;
  };
  // Refused before anything is allocated for them: instances multiply points.
  size_t total = 0;
  std::vector<const aiNode*> walk{scene.mRootNode};
  while (!walk.empty()) {
    const aiNode* node = walk.back();
    walk.pop_back();
    for (unsigned k = 0; k < node->mNumMeshes; ++k) {
      total += scene.mMeshes[node->mMeshes[k]]->mNumVertices;
      if (total > maxModelPoints)
        return path + ": the model has more than " + std::to_string(maxModelPoints) + " points";
    }
    for (unsigned k = 0; k < node->mNumChildren; ++k) walk.push_back(node->mChildren[k]);
  }

  std::vector<Pending> stack{{scene.mRootNode, -1, root * Affine::From(scene.mRootNode->mTransformation)}};
  std::vector<int32_t> corners;
  while (!stack.empty()) {
    const Pending item = stack.back();
    stack.pop_back();
    const int index = static_cast<int>(model.nodes.size());
    model.nodes.push_back(ModelNode{NameText(item.node->mName.C_Str()), item.parent, 0, {}, {}});
    PolygonMesh& mesh = model.nodes.back().mesh;
    const bool mirrored = item.world.Determinant() < 0.0;
    size_t points = 0, faces = 0;
    for (unsigned k = 0; k < item.node->mNumMeshes; ++k) {
      points += scene.mMeshes[item.node->mMeshes[k]]->mNumVertices;
      faces += scene.mMeshes[item.node->mMeshes[k]]->mNumFaces;
    }
    mesh.points.reserve(points);
    mesh.polygons.reserve(faces);
    for (unsigned k = 0; k < item.node->mNumMeshes; ++k) {
      const aiMesh& source = *scene.mMeshes[item.node->mMeshes[k]];
      const auto base = static_cast<int32_t>(mesh.points.size());
      for (unsigned v = 0; v < source.mNumVertices; ++v) {
        const aiVector3D& p = source.mVertices[v];
        if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z))
          return path + ": mesh " + Quoted(source.mName) + " point " + std::to_string(v) +
                 " has a coordinate that is not finite";
        const HostVector placed = item.world.Apply(p);
        if (!std::isfinite(placed.x) || !std::isfinite(placed.y) || !std::isfinite(placed.z))
          return path + ": node " + Quoted(item.node->mName) + " places point " + std::to_string(v) + " of mesh " +
                 Quoted(source.mName) + " at a coordinate that is not finite";
        mesh.points.push_back(placed);
      }
      for (unsigned f = 0; f < source.mNumFaces; ++f) {
        const aiFace& face = source.mFaces[f];
        if (face.mNumIndices < 3) {
          ++model.skippedFaces;
          continue;
        }
        corners.resize(face.mNumIndices);
        for (unsigned c = 0; c < face.mNumIndices; ++c) {
          // Assimp's validation checked the indices; checked again, it costs nothing.
          if (face.mIndices[c] >= source.mNumVertices)
            return path + ": mesh " + Quoted(source.mName) + " face " + std::to_string(f) + " names point " +
                   std::to_string(face.mIndices[c]) + " of " + std::to_string(source.mNumVertices);
          corners[c] = base + static_cast<int32_t>(face.mIndices[c]);
        }
        if (mirrored) std::reverse(corners.begin() + 1, corners.end());
        AppendPolygon(mesh.points, mesh.polygons, corners.data(), corners.size());
      }
    }
    model.polygons += mesh.polygons.size();
    for (unsigned k = item.node->mNumChildren; k-- > 0;) {
      const aiNode* child = item.node->mChildren[k];
      stack.push_back({child, index, item.world * Affine::From(child->mTransformation)});
    }
  }
  // Subtrees are contiguous in depth-first order: sizes add up from the leaves.
  std::vector<int> size(model.nodes.size(), 1);
  for (size_t i = model.nodes.size(); i-- > 1;) size[model.nodes[i].parent] += size[i];
  for (size_t i = 0; i < model.nodes.size(); ++i) model.nodes[i].end = static_cast<int>(i) + size[i];
  return {};
}

// OFF allows comments and blank lines anywhere, but Assimp's reader takes
// them only in the header: the text goes to it without them (a comment runs
// from '#' to the line's end).
const aiScene* ReadOff(Assimp::Importer& importer, const std::string& path, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  std::string text, line;
  while (std::getline(in, line)) {
    line.erase(std::min(line.find('#'), line.size()));
    if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
    text += line;
    text += '\n';
  }
  if (in.bad()) {
    error = path + ": cannot read the file";
    return nullptr;
  }
  return importer.ReadFileFromMemory(text.data(), text.size(), aiProcess_ValidateDataStructure, "off");
}

ModelResult Read(const std::string& path, std::optional<UpAxis> up, std::vector<FileStamp>& opened,
                 const std::function<void()>& converting) {
  ModelResult result;
  const std::string refused = CheckModelFile(path);
  if (!refused.empty()) return {nullptr, refused};
  const std::string extension = fs::path(path).extension().string();
  Assimp::Importer importer;
  auto* files = new ConfinedFiles(path);  // the importer owns it
  importer.SetIOHandler(files);
  importer.SetPropertyBool(AI_CONFIG_IMPORT_NO_SKELETON_MESHES, true);
  importer.SetPropertyBool(AI_CONFIG_IMPORT_FBX_PRESERVE_PIVOTS, false);
  importer.SetPropertyBool(AI_CONFIG_IMPORT_FBX_READ_ANIMATIONS, false);
  // The user's up axis stands instead of the file's.
  if (up) importer.SetPropertyBool(AI_CONFIG_IMPORT_COLLADA_IGNORE_UP_DIRECTION, true);
  auto model = std::make_shared<Model>();
  auto start = Clock::now();
  const aiScene* scene = nullptr;
  try {
    std::string offError;
    scene = Lower(extension) == ".off" ? ReadOff(importer, path, offError)
                                       : importer.ReadFile(path, aiProcess_ValidateDataStructure);
    if (!offError.empty()) return {nullptr, offError};
  } catch (const std::bad_alloc&) {
    return {nullptr, path + ": not enough memory to read the file"};
  } catch (const std::exception& e) {
    return {nullptr, path + ": " + OneLine(e.what())};
  }
  model->readSeconds = Since(start);
  if (scene == nullptr) {
    if (!files->Refusal().empty()) return {nullptr, files->Refusal()};
    const std::string error = OneLine(importer.GetErrorString());
    // Validation refuses a mesh without faces (a file of points only), and a
    // scene without meshes (only bones, as a BVH file holds).
    if (error.find("contains no faces") != std::string::npos || error.find("mNumMeshes is 0") != std::string::npos)
      return {nullptr, path + ": the file has no polygons"};
    return {nullptr, path + ": " + (error.empty() ? "Assimp cannot read the file" : error)};
  }
  if (scene->mRootNode == nullptr || scene->mNumMeshes == 0) return {nullptr, path + ": the file has no polygons"};

  if (converting) converting();
  start = Clock::now();
  std::string why;
  Affine root;
  if (Lower(extension) == ".fbx") root = FbxFrame(*scene, !up, model->frame);
  root = TurnedUp(extension, up, model->frame) * root;
  try {
    why = Convert(*scene, root, path, *model);
  } catch (const std::bad_alloc&) {
    why = path + ": not enough memory for the model";
  }
  if (!why.empty()) return {nullptr, why};
  model->convertSeconds = Since(start);
  if (model->polygons == 0)
    return {nullptr, path + ": the file has no polygons" + (model->skippedFaces > 0 ? " (only points and lines)" : "")};
  for (ModelNode& node : model->nodes)
    node.view = {{node.mesh.points.data(), node.mesh.points.size()},
                 {node.mesh.polygons.data(), node.mesh.polygons.size()}};
  opened = files->Opened();
  FileStamp stamp;  // an OFF file is read from memory, so not through `files`
  if (opened.empty() && Stamp(path, stamp)) opened.push_back(stamp);
  result.model = std::move(model);
  return result;
}

}  // namespace

ModelResult ReadModel(const std::string& path, std::optional<UpAxis> up) {
  std::vector<FileStamp> opened;
  return Read(path, up, opened, {});
}

ModelResult ReadModel(const std::string& path, std::optional<UpAxis> up, std::vector<FileStamp>& opened,
                      const std::function<void()>& converting) {
  return Read(path, up, opened, converting);
}

ModelResult ImportModel(const std::string& path, std::optional<UpAxis> up) {
  return CachedImport(
      path, up, [up](const std::string& file, std::vector<FileStamp>& opened) { return Read(file, up, opened, {}); });
}

bool ReadsExtension(const std::string& extension) {
  if (extension.size() < 2 || extension[0] != '.') return false;
  static const Assimp::Importer importer;
  return importer.IsExtensionSupported(Lower(extension));
}

std::string Extensions() {
  std::string list;
  Assimp::Importer().GetExtensionList(list);  // "*.3d;*.3ds;..."
  std::string out;
  for (size_t at = 0; at < list.size();) {
    size_t end = list.find(';', at);
    if (end == std::string::npos) end = list.size();
    std::string item = list.substr(at, end - at);
    if (item.rfind("*.", 0) == 0) item = item.substr(2);
    if (!item.empty() && item != "obj") out += (out.empty() ? "" : " ") + item;
    at = end + 1;
  }
  return out;
}

}  // namespace tess::assets
