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
#include <mutex>
#include <new>
#include <sstream>
#include <system_error>

#include "hostapp/assets/up_axis.h"
#include "hostapp/resources/input_file.h"

namespace tess::assets {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Assimp's messages may span lines; ours are one line.
std::string OneLine(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
  for (char& c : text)
    if (c == '\n' || c == '\r' || c == '\t') c = ' ';
  return text;
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

struct FileStamp {
  std::string path;
  std::uintmax_t size = 0;
  fs::file_time_type time;
  bool operator==(const FileStamp& o) const { return path == o.path && size == o.size && time == o.time; }
};

bool Stamp(const std::string& path, FileStamp& stamp) {
  std::error_code ec;
  stamp.path = path;
  stamp.size = fs::file_size(path, ec);
  if (ec) return false;
  stamp.time = fs::last_write_time(path, ec);
  return !ec;
}

// Every file Assimp opens, the model's own and those it refers to (a glTF's
// buffers, say), passes the same check as the file itself: a reference to
// /dev/zero or a folder is refused before it is read.
class CheckedFiles : public Assimp::DefaultIOSystem {
 public:
  Assimp::IOStream* Open(const char* file, const char* mode) override {
    std::error_code ec;
    if (file == nullptr || !fs::exists(file, ec)) return nullptr;  // a missing texture is not our concern
    const std::string why = resources::CheckInputFile(file, resources::maxMeshInputBytes);
    if (!why.empty()) {
      if (refusal.empty()) refusal = why;
      return nullptr;
    }
    Assimp::IOStream* stream = DefaultIOSystem::Open(file, mode);
    FileStamp stamp;
    if (stream != nullptr && Stamp(file, stamp) && std::find(opened.begin(), opened.end(), stamp) == opened.end())
      opened.push_back(stamp);
    return stream;
  }

  std::string refusal;
  std::vector<FileStamp> opened;
};

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
    model.nodes.push_back(ModelNode{OneLine(item.node->mName.C_Str()), item.parent, 0, {}});
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

// Assimp's PLY reader runs forever on a header without its end, writes past
// its arrays on a malformed one, and takes an element count at its word
// however short the file. So the header is read first, line by line, by the
// format's grammar, and anything else is refused.
bool IsPlyType(const std::string& type) {
  static const char* const types[] = {"char", "uchar", "short", "ushort", "int",   "uint",   "float",   "double",
                                      "int8", "uint8", "int16", "uint16", "int32", "uint32", "float32", "float64"};
  return std::find_if(std::begin(types), std::end(types), [&](const char* t) { return type == t; }) != std::end(types);
}

// Comments and the properties of an element: lines that need no check of their own.
bool IsPlyDeclaration(const std::vector<std::string>& w, bool inElement) {
  if (!w.empty() && (w[0] == "comment" || w[0] == "obj_info")) return true;
  if (!inElement || w.empty() || w[0] != "property") return false;
  return (w.size() == 3 && IsPlyType(w[1])) || (w.size() == 5 && w[1] == "list" && IsPlyType(w[2]) && IsPlyType(w[3]));
}

std::string CheckPlyHeader(const std::string& path, std::uintmax_t size) {
  std::ifstream in(path, std::ios::binary);
  std::string header(65536, '\0');
  in.read(header.data(), static_cast<std::streamsize>(header.size()));
  header.resize(static_cast<size_t>(in.gcount()));
  std::istringstream lines(header);
  std::string line;
  std::uintmax_t elements = 0;
  bool inElement = false;
  for (int number = 1; std::getline(lines, line); ++number) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::istringstream words(line);
    std::vector<std::string> w;
    for (std::string word; words >> word;) w.push_back(word);
    const auto refuse = [&](const std::string& why) { return path + ":" + std::to_string(number) + ": " + why; };
    if (number == 1) {
      if (line != "ply") return path + ": not a PLY file (it must begin with the line \"ply\")";
    } else if (number == 2) {
      if (w.size() != 3 || w[2] != "1.0" || (w[0] != "format") ||
          (w[1] != "ascii" && w[1] != "binary_little_endian" && w[1] != "binary_big_endian"))
        return refuse("expected \"format ascii 1.0\" or a binary format");
    } else if (IsPlyDeclaration(w, inElement)) {
      continue;
    } else if (w.size() == 3 && w[0] == "element") {
      if (w[2].empty() || w[2].size() > 12 || w[2].find_first_not_of("0123456789") != std::string::npos)
        return refuse("an element count must be a whole number");
      elements += std::stoull(w[2]);
      inElement = true;
    } else if (line == "end_header") {
      if (elements > size)
        return path + ": the PLY header announces " + std::to_string(elements) + " elements, more than the file's " +
               std::to_string(size) + " bytes can hold";
      return {};
    } else {
      return refuse("not a line of a PLY header: \"" + OneLine(line.substr(0, 60)) + "\"");
    }
  }
  return path + ": the PLY header has no end_header line in its first 64 KB";
}

// Assimp allocates what a binary glTF's chunk headers announce before it
// reads them, gigabytes for a few bad bytes: each chunk must fit in the file.
std::string CheckGlbChunks(const std::string& path, std::ifstream& in, std::uintmax_t size) {
  std::uintmax_t at = 12;
  for (int chunk = 0; chunk < 2 && at < size; ++chunk) {
    unsigned char header[8] = {};
    in.clear();
    in.seekg(static_cast<std::streamoff>(at));
    in.read(reinterpret_cast<char*>(header), sizeof header);
    const std::uintmax_t length = header[0] | header[1] << 8 | header[2] << 16 | std::uintmax_t{header[3]} << 24;
    if (in.gcount() != sizeof header || at + 8 + length > size)
      return path + ": a chunk of this binary glTF file is longer than the file";
    at += 8 + (length + 3) / 4 * 4;
  }
  return {};
}

// When the importer of a file's extension turns the file down, Assimp tries
// every other importer on it, and some of those take gigabytes and seconds
// over a small file of another kind. So a file whose first bytes are not what
// its extension says is refused here, where the format has a signature.
std::string CheckSignature(const std::string& path, const std::string& extension, std::uintmax_t size) {
  std::ifstream in(path, std::ios::binary);
  std::string head(4096, '\0');
  in.read(head.data(), static_cast<std::streamsize>(head.size()));
  head.resize(static_cast<size_t>(in.gcount()));
  const auto word = [&](size_t at) {
    uint32_t v = 0;
    for (int k = 3; k >= 0; --k) v = v << 8 | static_cast<unsigned char>(head[at + static_cast<size_t>(k)]);
    return v;
  };
  if (extension == ".glb") {
    if (head.size() < 12 || head.compare(0, 4, "glTF") != 0 || word(4) != 2 || word(8) != size)
      return path + ": not a binary glTF 2 file (it must begin with \"glTF\", version 2 and the file's length)";
    std::string chunks = CheckGlbChunks(path, in, size);
    if (!chunks.empty()) return chunks;
  } else if (extension == ".gltf") {
    const size_t start = head.rfind("\xEF\xBB\xBF", 0) == 0 ? 3 : 0;  // a UTF-8 byte order mark
    const size_t first = head.find_first_not_of(" \t\r\n", start);
    if (first == std::string::npos || head[first] != '{') return path + ": not a glTF file (JSON that begins with {)";
  } else if (extension == ".dae") {
    if (head.find("<COLLADA") == std::string::npos)
      return path + ": not a COLLADA file (no <COLLADA> element at its start)";
  } else if (extension == ".fbx") {
    if (head.rfind("Kaydara FBX Binary", 0) != 0 && head.find("FBXHeaderExtension") == std::string::npos)
      return path + ": not an FBX file (neither the binary signature nor an ASCII FBX header)";
  }
  return {};
}

// Assimp's COLLADA reader never returns from an index list (<p>, <vcount>,
// <v>, <h>) that holds anything but numbers: such a file is refused first.
std::string CheckColladaIndices(const std::string& path) {
  std::string text, error;
  if (!resources::ReadInputFile(path, resources::maxMeshInputBytes, text, error)) return error;
  for (const char* tag : {"<p>", "<vcount>", "<v>", "<h>"}) {
    const std::string open = tag;
    for (size_t at = text.find(open); at != std::string::npos; at = text.find(open, at + 1)) {
      const size_t end = text.find('<', at + open.size());
      for (size_t k = at + open.size(); k < std::min(end, text.size()); ++k) {
        const unsigned char c = static_cast<unsigned char>(text[k]);
        if (!std::isdigit(c) && !std::isspace(c)) {
          const size_t line =
              1 + static_cast<size_t>(std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(k), '\n'));
          return path + ":" + std::to_string(line) + ": " + open + " holds '" + OneLine(std::string(1, text[k])) +
                 "', not only indices";
        }
      }
    }
  }
  return {};
}

ModelResult Read(const std::string& path, std::optional<UpAxis> up, std::vector<FileStamp>& opened) {
  ModelResult result;
  std::string why = resources::CheckInputFile(path, resources::maxMeshInputBytes);
  if (!why.empty()) return {nullptr, why};
  std::error_code ec;
  const std::uintmax_t size = fs::file_size(path, ec);
  if (size == 0) return {nullptr, path + ": the file is empty"};
  const std::string extension = fs::path(path).extension().string();
  if (!ReadsExtension(extension))
    return {nullptr,
            path + ": no mesh format has the extension \"" + extension + "\" (known: obj " + Extensions() + ")"};

  why = CheckSignature(path, Lower(extension), size);
  if (why.empty() && Lower(extension) == ".ply") why = CheckPlyHeader(path, size);
  if (why.empty() && Lower(extension) == ".dae") why = CheckColladaIndices(path);
  if (!why.empty()) return {nullptr, why};
  Assimp::Importer importer;
  auto* files = new CheckedFiles;  // the importer owns it
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
    scene = importer.ReadFile(path, aiProcess_ValidateDataStructure);
  } catch (const std::bad_alloc&) {
    return {nullptr, path + ": not enough memory to read the file"};
  } catch (const std::exception& e) {
    return {nullptr, path + ": " + OneLine(e.what())};
  }
  model->readSeconds = Since(start);
  if (scene == nullptr) {
    if (!files->refusal.empty()) return {nullptr, files->refusal};
    const std::string error = OneLine(importer.GetErrorString());
    // Validation refuses a mesh without faces: a file of points only.
    if (error.find("contains no faces") != std::string::npos)
      return {nullptr, path + ": the file has no polygons (" + error + ")"};
    return {nullptr, path + ": " + (error.empty() ? "Assimp cannot read the file" : error)};
  }
  if (scene->mRootNode == nullptr || scene->mNumMeshes == 0) return {nullptr, path + ": the file has no polygons"};

  start = Clock::now();
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
  opened = files->opened;
  result.model = std::move(model);
  return result;
}

struct LastImport {
  std::mutex mutex;
  std::string path;
  std::optional<UpAxis> up;
  std::vector<FileStamp> files;
  std::shared_ptr<const Model> model;
};

LastImport& Last() {
  static LastImport last;
  return last;
}

bool Unchanged(const std::vector<FileStamp>& files) {
  for (const FileStamp& before : files) {
    FileStamp now;
    if (!Stamp(before.path, now) || !(now == before)) return false;
  }
  return !files.empty();
}

}  // namespace

ModelResult ReadModel(const std::string& path, std::optional<UpAxis> up) {
  std::vector<FileStamp> opened;
  return Read(path, up, opened);
}

ModelResult ImportModel(const std::string& path, std::optional<UpAxis> up) {
  std::error_code ec;
  fs::path key = fs::weakly_canonical(path, ec);
  if (ec) key = fs::absolute(path, ec).lexically_normal();
  LastImport& last = Last();
  {
    std::lock_guard<std::mutex> lock(last.mutex);
    if (last.model != nullptr && last.path == key.string() && last.up == up && Unchanged(last.files))
      return {last.model, {}, true};
  }
  std::vector<FileStamp> opened;
  ModelResult result = Read(path, up, opened);
  std::lock_guard<std::mutex> lock(last.mutex);
  last.model = result.model;
  last.up = up;
  last.path = result.model != nullptr ? key.string() : std::string();
  last.files = std::move(opened);
  return result;
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
