#include "hostapp/assets/obj_reader.h"

#include <tiny_obj_loader.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>

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

// tinyobjloader reports neither lines nor bad numbers, so the file is checked
// line by line first: every point finite, every corner inside the points.
std::string Prescan(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return path + ": cannot open the file";
  struct Corner {
    int line;
    long index;
    std::string text;
  };
  std::vector<Corner> corners;
  long points = 0;
  std::string text;
  for (int line = 1; std::getline(in, text); ++line) {
    std::istringstream words(text);
    std::string key;
    words >> key;
    std::vector<std::string> args;
    for (std::string w; words >> w;) args.push_back(w);
    if (key == "v") {
      if (args.size() < 3) return At(path, line, "a point needs three coordinates");
      for (size_t k = 0; k < 3; ++k) {
        double value = 0.0;
        if (!ParseNumber(args[k], value)) return At(path, line, "'" + args[k] + "' is not a number");
        if (!std::isfinite(value)) return At(path, line, "coordinate '" + args[k] + "' is not finite");
      }
      ++points;
    } else if (key == "f") {
      if (args.size() < 3) return At(path, line, "a face needs at least three corners");
      for (const std::string& corner : args) {
        long index = 0;
        if (!CornerIndex(corner, points, index)) return At(path, line, "'" + corner + "' is not a corner index");
        if (index < 0) return At(path, line, "corner " + corner + " lies before the first point");
        corners.push_back({line, index, corner});
      }
    }
  }
  // Absolute indices may name points defined further down, so ranges are
  // checked against the whole file.
  for (const Corner& c : corners)
    if (c.index >= points)
      return At(path, c.line, "corner " + c.text + " is out of range (" + std::to_string(points) + " points)");
  return {};
}

void AddFace(Mesh& mesh, const std::vector<int32_t>& corners) {
  if (corners.size() == 3) {
    mesh.polygons.push_back({corners[0], corners[1], corners[2], corners[2]});
  } else if (corners.size() == 4) {
    mesh.polygons.push_back({corners[0], corners[1], corners[2], corners[3]});
  } else {
    for (size_t k = 1; k + 1 < corners.size(); ++k)
      mesh.polygons.push_back({corners[0], corners[k], corners[k + 1], corners[k + 1]});
  }
}

}  // namespace

MeshResult ReadObj(const std::string& path) {
  MeshResult result;
  result.error = resources::CheckInputFile(path, resources::maxMeshInputBytes);
  if (!result.ok()) return result;
  result.error = Prescan(path);
  if (!result.ok()) return result;

  // Materials are the scene's, never the file's: the material library an
  // OBJ names (mtllib) is not read at all, so that a file cannot make the
  // host read files outside its folder, or a device, through it.
  std::ifstream stream(path, std::ios::binary);
  tinyobj::attrib_t attrib;
  std::vector<tinyobj::shape_t> shapes;
  std::vector<tinyobj::material_t> materials;
  std::string warning, error;
  // Not triangulated: the module sees quads as quads.
  if (!tinyobj::LoadObj(&attrib, &shapes, &materials, &warning, &error, &stream, nullptr, false, false)) {
    result.error = path + ": " + (error.empty() ? "cannot read the file" : error);
    while (!result.error.empty() && result.error.back() == '\n') result.error.pop_back();
    return result;
  }
  const auto& v = attrib.vertices;
  for (size_t i = 0; i + 2 < v.size(); i += 3) result.mesh.points.push_back({v[i], v[i + 1], v[i + 2]});
  for (const tinyobj::shape_t& shape : shapes) {
    size_t next = 0;
    for (const unsigned int count : shape.mesh.num_face_vertices) {
      std::vector<int32_t> corners;
      for (unsigned int k = 0; k < count; ++k) corners.push_back(shape.mesh.indices[next + k].vertex_index);
      next += count;
      AddFace(result.mesh, corners);
    }
  }
  const std::string problem = CheckMesh(result.mesh);
  if (!problem.empty()) result.error = path + ": " + problem;
  return result;
}

}  // namespace tess::render
