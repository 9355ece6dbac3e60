#include "hostapp/assets/obj_reader.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "hostapp/assets/polygon_mesh.h"
#include "hostapp/resources/input_file.h"

namespace tess::render {
namespace {

std::string At(const std::string& path, int line, const std::string& reason) {
  return path + ":" + std::to_string(line) + ": " + reason;
}

bool ParseNumber(const std::string& token, double& value) {
  char* end = nullptr;
  errno = 0;
  value = std::strtod(token.c_str(), &end);
  return end != token.c_str() && *end == '\0';
}

// The position index of one face corner ("7", "7/1", "7//3", "-1/2/3"),
// resolved against the points so far; false when it is no index at all.
bool CornerIndex(const std::string& token, long pointsSoFar, long& index) {
  const std::string head = token.substr(0, token.find('/'));
  char* end = nullptr;
  const long raw = std::strtol(head.c_str(), &end, 10);
  if (head.empty() || *end != '\0' || raw == 0) return false;
  index = raw > 0 ? raw - 1 : pointsSoFar + raw;
  return true;
}

// A face as read: where its corners start in the file's list of corners,
// how many it has (any number: a count in one byte, as general OBJ libraries
// keep it, would scramble every face after one of more than 255 corners),
// and its line for messages.
struct Face {
  size_t first;
  size_t count;
  int line;
};

struct ObjText {
  std::vector<HostVector> points;
  std::vector<long> corners;  // 0-based point indices, every face's in turn
  std::vector<Face> faces;
};

// The corner that is out of range, as the file wrote it, for the message.
std::string CornerWord(const std::string& path, const Face& face, size_t k) {
  std::ifstream in(path, std::ios::binary);
  std::string text;
  for (int n = 1; n <= face.line && std::getline(in, text); ++n) {
  }
  std::istringstream words(text);
  std::string word;
  for (size_t skip = 0; skip <= k + 1; ++skip) words >> word;  // "f" first
  return word;
}

// Every line by the format's grammar: points must be finite, every corner
// must name a point. Lines of other kinds (normals, groups, materials) are
// passed over.
std::string Parse(const std::string& path, ObjText& obj) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return path + ": cannot open the file";
  std::string text;
  std::vector<std::string> args;
  for (int line = 1; std::getline(in, text); ++line) {
    std::istringstream words(text);
    std::string key;
    words >> key;
    if (key != "v" && key != "f") continue;
    args.clear();
    for (std::string w; words >> w;) args.push_back(w);
    if (key == "v") {
      if (args.size() < 3) return At(path, line, "a point needs three coordinates");
      double xyz[3] = {};
      for (size_t k = 0; k < 3; ++k) {
        if (!ParseNumber(args[k], xyz[k])) return At(path, line, "'" + args[k] + "' is not a number");
        if (!std::isfinite(xyz[k])) return At(path, line, "coordinate '" + args[k] + "' is not finite");
      }
      obj.points.push_back({xyz[0], xyz[1], xyz[2]});
      continue;
    }
    if (args.size() < 3) return At(path, line, "a face needs at least three corners");
    const auto pointsSoFar = static_cast<long>(obj.points.size());
    obj.faces.push_back({obj.corners.size(), args.size(), line});
    for (const std::string& corner : args) {
      long index = 0;
      if (!CornerIndex(corner, pointsSoFar, index)) return At(path, line, "'" + corner + "' is not a corner index");
      if (index < 0) return At(path, line, "corner " + corner + " lies before the first point");
      obj.corners.push_back(index);
    }
  }
  if (obj.points.size() > static_cast<size_t>(INT32_MAX)) return path + ": more points than 32-bit indices reach";
  // Absolute indices may name points defined further down, so ranges are
  // checked against the whole file.
  const auto points = static_cast<long>(obj.points.size());
  for (const Face& face : obj.faces)
    for (size_t k = 0; k < face.count; ++k)
      if (obj.corners[face.first + k] >= points)
        return At(path, face.line,
                  "corner " + CornerWord(path, face, k) + " is out of range (" + std::to_string(points) + " points)");
  return {};
}

}  // namespace

MeshResult ReadObj(const std::string& path) {
  MeshResult result;
  result.error = resources::CheckInputFile(path, resources::maxMeshInputBytes);
  if (!result.ok()) return result;
  ObjText obj;
  result.error = Parse(path, obj);
  if (!result.ok()) return result;
  result.mesh.points = std::move(obj.points);
  result.mesh.polygons.reserve(obj.faces.size());
  std::vector<int32_t> corners;
  for (const Face& face : obj.faces) {
    corners.clear();
    for (size_t k = 0; k < face.count; ++k) corners.push_back(static_cast<int32_t>(obj.corners[face.first + k]));
    assets::AppendPolygon(result.mesh.points, result.mesh.polygons, corners.data(), corners.size());
  }
  const std::string problem = CheckMesh(result.mesh);
  if (!problem.empty()) result.error = path + ": " + problem;
  return result;
}

}  // namespace tess::render
