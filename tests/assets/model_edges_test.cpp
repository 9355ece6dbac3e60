// The defaults `render MODEL` takes from the model's edges: the edge map,
// the feature angle that separates creases from a smooth surface's facets,
// and a rounding radius that fits the model's narrow faces.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <tuple>

#include <unistd.h>

#include "hostapp/assets/vec.h"
#include "hostapp/render/image.h"
#include "hostapp/render/render_run.h"
#include "hostapp/scene/model_edges.h"
#include "hostapp/scene/model_scene.h"
#include "hostapp/services/services.h"

namespace tess::test {
namespace {

namespace fs = std::filesystem;
using assets::PolygonMesh;
using namespace tess::render;  // NOLINT(google-build-using-namespace): the vector operations

constexpr double pi = 3.141592653589793;

// Meshes around the origin, convex: every polygon is wound to face away
// from the centre, as a closed mesh's polygons are.
struct Builder {
  PolygonMesh mesh;
  int32_t Point(const HostVector& p) {
    mesh.points.push_back(p);
    return static_cast<int32_t>(mesh.points.size() - 1);
  }
  void Face(std::vector<int32_t> corners) {
    HostVector centre{0, 0, 0};
    for (const int32_t c : corners) centre = centre + mesh.points[static_cast<size_t>(c)];
    const HostVector& a = mesh.points[static_cast<size_t>(corners[0])];
    const HostVector n =
        Cross(mesh.points[static_cast<size_t>(corners[1])] - a, mesh.points[static_cast<size_t>(corners[2])] - a);
    if (Dot(n, centre) < 0.0) std::reverse(corners.begin(), corners.end());
    assets::AppendPolygon(mesh.points, mesh.polygons, corners.data(), corners.size());
  }
};

PolygonMesh Cube(bool triangles) {
  Builder b;
  for (int i = 0; i < 8; ++i) b.Point({i & 1 ? 1.0 : -1.0, i & 2 ? 1.0 : -1.0, i & 4 ? 1.0 : -1.0});
  const int32_t faces[6][4] = {{0, 1, 3, 2}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 3, 7, 6}, {0, 2, 6, 4}, {1, 3, 7, 5}};
  for (const auto& f : faces) {
    if (!triangles) {
      b.Face({f[0], f[1], f[2], f[3]});
      continue;
    }
    b.Face({f[0], f[1], f[2]});
    b.Face({f[0], f[2], f[3]});
  }
  return b.mesh;
}

// A sphere of radius 1: `around` columns, `rows` rows, triangles at the poles.
PolygonMesh Sphere(int around, int rows) {
  Builder b;
  const int32_t north = b.Point({0, 1, 0}), south = b.Point({0, -1, 0});
  std::vector<std::vector<int32_t>> ring(static_cast<size_t>(rows - 1));
  for (int r = 1; r < rows; ++r)
    for (int k = 0; k < around; ++k) {
      const double theta = pi * r / rows, phi = 2.0 * pi * k / around;
      ring[static_cast<size_t>(r - 1)].push_back(
          b.Point({std::sin(theta) * std::cos(phi), std::cos(theta), std::sin(theta) * std::sin(phi)}));
    }
  for (int k = 0; k < around; ++k) {
    const auto at = [&](int r, int i) { return ring[static_cast<size_t>(r)][static_cast<size_t>(i % around)]; };
    b.Face({north, at(0, k), at(0, k + 1)});
    b.Face({south, at(rows - 2, k), at(rows - 2, k + 1)});
    for (int r = 0; r + 1 < rows - 1; ++r) b.Face({at(r, k), at(r, k + 1), at(r + 1, k + 1), at(r + 1, k)});
  }
  return b.mesh;
}

// A box of half-size 1 whose twelve edges are cut by 45° chamfers `c` deep:
// six faces, twelve chamfer strips c·√2 wide, eight corner triangles.
PolygonMesh ChamferedBox(double c) {
  Builder b;
  const double h = 1.0, i = h - c;
  // Point of face `axis` (0 x, 1 y, 2 z) on side `sign`, at the corner (s, t) of its inner square.
  std::map<std::tuple<int, int, int, int>, int32_t> at;
  for (int axis = 0; axis < 3; ++axis)
    for (int sign : {-1, 1})
      for (int s : {-1, 1})
        for (int t : {-1, 1}) {
          double v[3];
          v[axis] = sign * h;
          v[(axis + 1) % 3] = s * i;
          v[(axis + 2) % 3] = t * i;
          at[{axis, sign, s, t}] = b.Point({v[0], v[1], v[2]});
        }
  // The point of face (axis, sign) nearest the box corner with signs sx, sy, sz.
  const auto corner = [&](int axis, int sx, int sy, int sz) {
    const int signs[3] = {sx, sy, sz};
    return at[{axis, signs[axis], signs[(axis + 1) % 3], signs[(axis + 2) % 3]}];
  };
  for (int axis = 0; axis < 3; ++axis)
    for (int sign : {-1, 1})
      b.Face({at[{axis, sign, -1, -1}], at[{axis, sign, 1, -1}], at[{axis, sign, 1, 1}], at[{axis, sign, -1, 1}]});
  // A strip between faces `p` and `q` along the third axis, on the side (sp, sq).
  for (int p = 0; p < 3; ++p)
    for (int q = p + 1; q < 3; ++q)
      for (int sp : {-1, 1})
        for (int sq : {-1, 1}) {
          std::vector<int32_t> strip;
          for (int along : {-1, 1}) {
            int s[3] = {along, along, along};
            s[p] = sp;
            s[q] = sq;
            strip.push_back(corner(p, s[0], s[1], s[2]));
            strip.push_back(corner(q, s[0], s[1], s[2]));
          }
          b.Face({strip[0], strip[1], strip[3], strip[2]});
        }
  for (int sx : {-1, 1})
    for (int sy : {-1, 1})
      for (int sz : {-1, 1}) b.Face({corner(0, sx, sy, sz), corner(1, sx, sy, sz), corner(2, sx, sy, sz)});
  return b.mesh;
}

double Diagonal(const PolygonMesh& mesh) {
  HostVector lo{1e300, 1e300, 1e300}, hi{-1e300, -1e300, -1e300};
  for (const HostVector& p : mesh.points) {
    lo = {std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z)};
    hi = {std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z)};
  }
  return Length(hi - lo);
}

double LargestAngle(const PolygonMesh& mesh) {
  double largest = 0.0;
  for (const render::MeshEdge& e : render::EdgeMap(mesh))
    if (e.polygons == 2) largest = std::max(largest, render::EdgeAngle(mesh, e) * 180.0 / pi);
  return largest;
}

TEST(EdgeMap, FindsEveryEdgeOnceWithThePolygonsOnItsSides) {
  const PolygonMesh quads = Cube(false);
  const std::vector<render::MeshEdge> edges = render::EdgeMap(quads);
  ASSERT_EQ(edges.size(), 12u);
  for (const render::MeshEdge& e : edges) {
    EXPECT_LT(e.a, e.b);
    EXPECT_EQ(e.polygons, 2);
    EXPECT_NE(e.first, e.second);
    EXPECT_NEAR(render::EdgeAngle(quads, e), pi / 2, 1e-12);
  }
  const PolygonMesh triangles = Cube(true);
  size_t flat = 0;
  for (const render::MeshEdge& e : render::EdgeMap(triangles)) flat += render::EdgeAngle(triangles, e) < 1e-9 ? 1 : 0;
  EXPECT_EQ(render::EdgeMap(triangles).size(), 18u);
  EXPECT_EQ(flat, 6u);

  PolygonMesh open = quads;
  open.polygons.pop_back();
  size_t borders = 0;
  for (const render::MeshEdge& e : render::EdgeMap(open)) borders += e.polygons == 1 ? 1 : 0;
  EXPECT_EQ(borders, 4u);
  // A quad is as wide across an edge as its far side is from it.
  const render::MeshEdge e = render::EdgeMap(quads)[0];
  EXPECT_NEAR(render::WidthAcross(quads, e.first, e.a, e.b), 2.0, 1e-12);
}

TEST(EdgeDefaults, ACubeKeepsItsTwelveEdgesAndTheRadiusItHadBefore) {
  for (const bool triangles : {false, true}) {
    const PolygonMesh cube = Cube(triangles);
    const render::EdgeDefaults d = render::ChooseEdgeDefaults({cube}, Diagonal(cube));
    EXPECT_EQ(d.featureEdges, 12u) << "triangles: " << triangles;
    EXPECT_EQ(d.featureAngle, render::minFeatureAngle);
    EXPECT_NEAR(d.radius, 0.02 * Diagonal(cube), 1e-12);
  }
}

TEST(EdgeDefaults, ASmoothSurfaceHasNoFeatureEdges) {
  // Finely and coarsely tessellated: each angle between neighbours stays
  // below the feature angle, so Draw Edge draws none of them.
  for (const auto& [around, rows] : {std::pair{96, 48}, std::pair{16, 8}}) {
    const PolygonMesh sphere = Sphere(around, rows);
    const render::EdgeDefaults d = render::ChooseEdgeDefaults({sphere}, Diagonal(sphere));
    EXPECT_EQ(d.featureEdges, 0u) << around;
    EXPECT_GT(d.featureAngle, LargestAngle(sphere)) << around;
    EXPECT_LE(d.featureAngle, render::maxFeatureAngle);
  }
  // A cube beside a sphere keeps its edges.
  const PolygonMesh sphere = Sphere(48, 24), cube = Cube(false);
  EXPECT_EQ(render::ChooseEdgeDefaults({sphere, cube}, 4.0).featureEdges, 12u);
}

TEST(EdgeDefaults, SmallChamfersGetARadiusThatFitsThem) {
  const double depth = 0.02, width = depth * std::sqrt(2.0);
  const PolygonMesh box = ChamferedBox(depth);
  ASSERT_EQ(box.polygons.size(), 6u + 12u + 8u);
  ASSERT_EQ(render::EdgeMap(box).size(), 24u + 24u);  // strips' long sides, corner triangles' sides
  EXPECT_NEAR(LargestAngle(box), 45.0, 1e-9);
  const double diagonal = Diagonal(box);
  const render::EdgeDefaults d = render::ChooseEdgeDefaults({box}, diagonal);
  EXPECT_EQ(d.featureEdges, 48u);
  EXPECT_LT(d.radius, width);
  EXPECT_LT(d.radius, render::ChooseEdgeDefaults({Cube(false)}, diagonal).radius);
  EXPECT_GE(d.radius, render::minRadiusShare * diagonal);
  // The same box with chamfers twice as deep gets a radius twice as large.
  const render::EdgeDefaults deeper = render::ChooseEdgeDefaults({ChamferedBox(2 * depth)}, diagonal);
  EXPECT_NEAR(deeper.radius, 2 * d.radius, 1e-9);
}

class ModelDefaults : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = fs::temp_directory_path() /
             ("tessaline-model-edges-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) +
              "-" + std::to_string(::getpid()));
    fs::create_directories(folder);
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(folder, ec);
  }
  // `apart`: every polygon with corners of its own, as STL stores them.
  std::string Obj(const std::string& name, const PolygonMesh& mesh, bool apart = false) const {
    const fs::path path = folder / name;
    std::ofstream out(path);
    out.precision(17);
    const auto point = [&](int32_t i) {
      const HostVector& p = mesh.points[static_cast<size_t>(i)];
      out << "v " << p.x << ' ' << p.y << ' ' << p.z << '\n';
    };
    if (!apart)
      for (size_t i = 0; i < mesh.points.size(); ++i) point(static_cast<int32_t>(i));
    int32_t next = 1;
    for (const HostPolygon& p : mesh.polygons) {
      const std::vector<int32_t> corners =
          p.c == p.d ? std::vector<int32_t>{p.a, p.b, p.c} : std::vector<int32_t>{p.a, p.b, p.c, p.d};
      std::string face = "f";
      for (const int32_t c : corners) {
        if (apart) point(c);
        face += " " + std::to_string(apart ? next++ : c + 1);
      }
      out << face << '\n';
    }
    return path.string();
  }
  fs::path folder;
};

const render::Json& Params(const render::ModelScene& made, const char* channel) {
  return made.scene["objects"][1]["material"][channel]["params"];
}

TEST_F(ModelDefaults, TheMadeSceneTakesItsAnglesAndRadiusFromTheModel) {
  render::ModelSceneOptions options;
  options.drawEdge = 0.01;
  options.softEdge = 0.05;
  const PolygonMesh sphere = Sphere(64, 32);
  const render::ModelScene smooth = render::MakeModelScene(Obj("sphere.obj", sphere), options);
  ASSERT_EQ(smooth.error, "");
  EXPECT_GT(Params(smooth, "color")["DRAWEDGE_ANGLE_MIN"].get<double>(), LargestAngle(sphere));
  EXPECT_EQ(Params(smooth, "color")["DRAWEDGE_ANGLE_MAX"].get<double>(), 180.0);
  EXPECT_EQ(Params(smooth, "normal")["SOFTEDGE_ANGLE_MAX"].get<double>(), 180.0);
  EXPECT_EQ(Params(smooth, "normal")["SOFTEDGE_RADIUS"].get<double>(), 0.05) << "a radius given stays";

  // Every polygon's corners apart: only welded do the chamfers have
  // neighbours to measure.
  const render::ModelScene chamfered = render::MakeModelScene(Obj("box.obj", ChamferedBox(0.05), true), {});
  ASSERT_EQ(chamfered.error, "");
  const double radius = Params(chamfered, "normal")["SOFTEDGE_RADIUS"].get<double>();
  EXPECT_GT(radius, 0.0);
  EXPECT_LT(radius, 0.05);
  EXPECT_EQ(Params(chamfered, "normal")["SOFTEDGE_ANGLE_MIN"].get<double>(), render::minFeatureAngle);
}

// Pixels of Draw Edge's lines in the albedo of `render MODEL --draw-edge`:
// at one sample a pixel, everything else is the background (0), the ground
// (0.5) or the model's colour away from lines, the most common other value.
size_t LinePixels(const std::string& model, const fs::path& folder) {
  host::ResetServices();
  render::RenderRequest request;
  request.modulePath = TESSALINE_MODULE;
  request.scenePath = model;
  request.width = 160;
  request.height = 120;
  request.samples = 1;
  request.threads = 2;
  request.drawEdge = 0.02;
  request.output = (folder / "beauty.png").string();
  request.albedo = (folder / "albedo.png").string();
  std::ostringstream out, err;
  EXPECT_EQ(render::RunRender(request, out, err), 0) << err.str();
  render::Image8 albedo;
  EXPECT_EQ(render::ReadPng(request.albedo, albedo), "");
  std::map<int, size_t> counts;
  for (size_t i = 0; i < albedo.rgb.size(); i += 3) ++counts[albedo.rgb[i]];
  counts.erase(0);
  counts.erase(128);
  if (counts.empty()) return 0;
  const auto face =
      std::max_element(counts.begin(), counts.end(), [](auto& a, auto& b) { return a.second < b.second; });
  size_t lines = 0;
  for (const auto& [value, count] : counts) lines += std::abs(value - face->first) > 2 ? count : 0;
  return lines;
}

TEST_F(ModelDefaults, DrawEdgeDrawsACubesEdgesAndNoneOfASmoothSpheres) {
  EXPECT_EQ(LinePixels(Obj("sphere.obj", Sphere(64, 32)), folder), 0u);
  EXPECT_GT(LinePixels(Obj("cube.obj", Cube(true)), folder), 100u);
}

}  // namespace
}  // namespace tess::test
