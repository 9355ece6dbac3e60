#include "hostapp/scene/mesh_file.h"

#include <cctype>
#include <chrono>
#include <filesystem>

#include "hostapp/assets/isolated_import.h"
#include "hostapp/assets/model_import.h"
#include "hostapp/assets/weld.h"
#include "hostapp/scene/json_access.h"
#include "hostapp/scene/nearest_names.h"
#include "hostapp/assets/obj_reader.h"

namespace tess::render {
namespace {

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// The node the request names: its index, or -1 with the reason in `error`.
int FindNode(const assets::Model& model, const MeshFileRequest& request, std::string& error) {
  const int count = static_cast<int>(model.nodes.size());
  if (request.node.empty()) {
    if (request.nodeNumber < count) return request.nodeNumber;
    error = request.path + ": there is no node " + std::to_string(request.nodeNumber) + " (the file has " +
            std::to_string(count) + " nodes, 0 to " + std::to_string(count - 1) + ")";
    return -1;
  }
  int found = -1, matches = 0;
  std::vector<std::string> names;
  for (int i = 0; i < count; ++i) {
    names.push_back(model.nodes[i].name);
    if (model.nodes[i].name == request.node && matches++ == 0) found = i;
  }
  if (matches == 1) return found;
  if (matches > 1) {
    error = request.path + ": " + std::to_string(matches) + " nodes are named \"" + request.node +
            "\"; name the node by its number instead";
    return -1;
  }
  error = request.path + ": there is no node named \"" + request.node + "\"" + DidYouMean(request.node, names);
  return -1;
}

// The chosen nodes' polygons as one mesh.
std::string Gather(const assets::Model& model, const MeshFileRequest& request, Mesh& mesh) {
  int first = 0, end = static_cast<int>(model.nodes.size());
  if (!request.node.empty() || request.nodeNumber >= 0) {
    std::string error;
    first = FindNode(model, request, error);
    if (first < 0) return error;
    end = request.children ? model.nodes[first].end : first + 1;
  }
  size_t points = 0, polygons = 0;
  for (int i = first; i < end; ++i) {
    points += model.nodes[i].view.points.size;
    polygons += model.nodes[i].view.polygons.size;
  }
  mesh.points.reserve(points);
  mesh.polygons.reserve(polygons);
  for (int i = first; i < end; ++i) {
    const assets::MeshView& part = model.nodes[i].view;
    const auto base = static_cast<int32_t>(mesh.points.size());
    mesh.points.insert(mesh.points.end(), part.points.begin(), part.points.end());
    for (const HostPolygon& p : part.polygons)
      mesh.polygons.push_back({p.a + base, p.b + base, p.c + base, p.d + base});
  }
  if (mesh.polygons.empty()) {
    const std::string which = request.node.empty() ? std::to_string(request.nodeNumber) : "\"" + request.node + "\"";
    return request.path + ": node " + which + (request.children ? " and its children have" : " has") + " no polygons";
  }
  return {};
}

}  // namespace

bool IsObjFile(const std::string& path) {
  std::string extension = std::filesystem::path(path).extension().string();
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return extension == ".obj";
}

MeshFileResult ReadMeshFile(const MeshFileRequest& request) {
  MeshFileResult result;
  MeshFileReport& report = result.report;
  report.file = request.path;
  const bool wantsNode = !request.node.empty() || request.nodeNumber >= 0;
  if (IsObjFile(request.path)) {
    if (wantsNode) return {{}, report, request.path + ": an OBJ file is read as one object, without nodes"};
    const auto start = Clock::now();
    MeshResult read = ReadObj(request.path);
    report.readSeconds = Since(start);
    if (!read.ok()) return {{}, report, read.error};
    if (read.mesh.polygons.empty()) return {{}, report, request.path + ": the file has no polygons"};
    // OBJ states no up axis and is y up by custom, as the scenes are.
    const assets::UpAxis up = request.up.value_or(assets::UpAxis::Y);
    assets::TurnPoints(read.mesh.points, up);
    report.frame = assets::TurnText(up);
    result.mesh = std::move(read.mesh);
  } else {
    const assets::ModelResult imported = assets::LoadModel(request.path, request.up);
    if (imported.model == nullptr) return {{}, report, imported.error};
    const assets::Model& model = *imported.model;
    report.reused = imported.reused;
    report.readSeconds = model.readSeconds;
    report.convertSeconds = model.convertSeconds;
    report.frame = model.frame;
    const std::string error = Gather(model, request, result.mesh);
    if (!error.empty()) return {{}, report, error};
  }
  report.pointsRead = report.points = result.mesh.points.size();
  report.polygonsRead = result.mesh.polygons.size();
  if (request.weld.mode == WeldSetting::Mode::Off) return result;

  const auto start = Clock::now();
  assets::PolygonMesh mesh{std::move(result.mesh.points), std::move(result.mesh.polygons)};
  const double distance = request.weld.mode == WeldSetting::Mode::Relative
                              ? assets::RelativeWeldDistance(mesh.points, request.weld.value)
                              : request.weld.value;
  const assets::WeldResult weld = assets::Weld(mesh, distance);
  report.weldSeconds = Since(start);
  report.welded = true;
  report.weldDistance = distance;
  report.points = weld.pointsAfter;
  report.polygonsDropped = weld.polygonsDropped;
  result.mesh.points = std::move(mesh.points);
  result.mesh.polygons = std::move(mesh.polygons);
  if (result.mesh.polygons.empty())
    return {{},
            report,
            request.path + ": welding left no polygons (all " + std::to_string(report.polygonsRead) +
                " had fewer than three distinct corners)"};
  return result;
}

Mesh ReadFileMesh(const Json& j, const std::string& path, const std::string& folder,
                  std::optional<MeshFileReport>& report) {
  MeshFileRequest request;
  std::filesystem::path file = ReadString(j["file"], Member(path, "file"));
  if (file.is_relative()) file = std::filesystem::path(folder) / file;
  std::error_code ec;
  if (!std::filesystem::exists(file, ec)) throw JsonError(Member(path, "file"), "no such mesh file " + file.string());
  request.path = file.string();
  if (j.contains("node")) {
    const Json& node = j["node"];
    if (node.is_string() && !node.get<std::string>().empty()) {
      request.node = node.get<std::string>();
    } else if (node.is_number_integer() && node.get<int64_t>() >= 0 && node.get<int64_t>() <= INT32_MAX) {
      request.nodeNumber = node.get<int>();
    } else {
      throw JsonError(Member(path, "node"), "expected a node's name or its number (0 for the root)");
    }
  }
  if (j.contains("children") && !j.contains("node")) throw JsonError(Member(path, "children"), "only with \"node\"");
  request.children = Optional(j, path, "children", true, ReadBool);
  if (j.contains("weld")) {
    const Json& weld = j["weld"];
    if (weld.is_boolean()) {
      request.weld.mode = weld.get<bool>() ? WeldSetting::Mode::Relative : WeldSetting::Mode::Off;
    } else if (weld.is_number() && weld.get<double>() >= 0.0) {
      request.weld = {WeldSetting::Mode::Absolute, ReadNumber(weld, Member(path, "weld"))};
    } else {
      throw JsonError(Member(path, "weld"), "expected true, false or a distance of 0 or more");
    }
  }
  if (j.contains("up")) {
    const Json& up = j["up"];
    request.up = up.is_string() ? assets::ParseUpAxis(up.get<std::string>()) : std::nullopt;
    if (!request.up)
      throw JsonError(Member(path, "up"), std::string("expected the file's up axis: ") + assets::upAxisNames);
  }
  MeshFileResult read = ReadMeshFile(request);
  if (!read.ok()) throw std::runtime_error(read.error);  // already "file: reason"
  report = read.report;
  return std::move(read.mesh);
}

}  // namespace tess::render
