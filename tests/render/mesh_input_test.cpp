// OBJ reading and the built-in primitives: the polygon structure the
// module's adjacency depends on.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <utility>

#include "hostapp/assets/obj_reader.h"
#include "hostapp/scene/primitives.h"
#include "hostapp/assets/vec.h"
#include "hostapp/render/world.h"

namespace tess::render {
namespace {

namespace fs = std::filesystem;

std::string WriteObj(const std::string& name, const std::string& text) {
  const fs::path path = fs::temp_directory_path() / ("tessaline-obj-" + name + ".obj");
  std::ofstream(path, std::ios::binary) << text;
  return path.string();
}

TEST(ObjReader, KeepsQuadsTrianglesAndSharedPointsAndSplitsLargerFacesInPlace) {
  const std::string path = WriteObj("shapes",
                                    "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nv 2 0 0\nv 2 1 0\nv 3 0.5 0\n"
                                    "f 1 2 3 4\nf 2 5 3\nf 5/1 7/1/1 6//1 3 2\nf -4 -3 -2\n");
  const MeshResult r = ReadObj(path);
  ASSERT_TRUE(r.ok()) << r.error;
  ASSERT_EQ(r.mesh.points.size(), 7u);
  EXPECT_EQ(r.mesh.points[6].x, 3.0);
  ASSERT_GE(r.mesh.polygons.size(), 5u);
  ASSERT_LE(r.mesh.polygons.size(), 6u);
  auto same = [](const HostPolygon& p, HostPolygon q) { return p.a == q.a && p.b == q.b && p.c == q.c && p.d == q.d; };
  EXPECT_TRUE(same(r.mesh.polygons[0], {0, 1, 2, 3}));
  EXPECT_TRUE(same(r.mesh.polygons[1], {1, 4, 2, 2}));  // triangle: c == d
  // The pentagon's three triangles (two of them maybe one quad), in its
  // place: its corners, wound as it is.
  double area = 0.0;
  for (size_t k = 2; k + 1 < r.mesh.polygons.size(); ++k) {
    const HostPolygon& p = r.mesh.polygons[k];
    const int32_t corners[4] = {p.a, p.b, p.c, p.d};
    const int count = p.c == p.d ? 3 : 4;
    for (int i = 0; i < count; ++i) {
      EXPECT_TRUE(corners[i] == 4 || corners[i] == 6 || corners[i] == 5 || corners[i] == 2 || corners[i] == 1);
      const HostVector &a = r.mesh.points[corners[i]], &b = r.mesh.points[corners[(i + 1) % count]];
      area += (a.x * b.y - a.y * b.x) / 2;
    }
  }
  EXPECT_DOUBLE_EQ(area, 1.5);
  EXPECT_TRUE(same(r.mesh.polygons.back(), {3, 4, 5, 5}));  // relative indices
}

TEST(ObjReader, BadInputNamesFileAndLine) {
  const std::pair<const char*, const char*> cases[] = {
      {"v 0 0 0\nv 1 0 0\nv 1 1 0\nf 1 2 4\n", ":4: corner 4 is out of range"},
      {"v 0 0 0\nv nan 0 0\nv 1 1 0\nf 1 2 3\n", ":2: coordinate 'nan' is not finite"},
      {"v 0 0 0\nv 1 0 inf\nv 1 1 0\n", ":2: coordinate 'inf' is not finite"},
      {"v 0 0 0\nv 1 0 0\nv 1 1 0\nf 1 2 -5\n", ":4: corner -5 lies before the first point"},
      {"v 0 0 0\nv 1 0 0\nv 1 1 0\n\nf 1 2\n", ":5: a face needs at least three corners"},
      {"v 0 0\n", ":1: a point needs three coordinates"},
  };
  int n = 0;
  for (const auto& [text, reason] : cases) {
    const std::string path = WriteObj("bad" + std::to_string(n++), text);
    const MeshResult r = ReadObj(path);
    EXPECT_EQ(r.error.rfind(path + reason, 0), 0u) << r.error;
  }
  EXPECT_NE(ReadObj("/nonexistent/mesh.obj").error.find("/nonexistent/mesh.obj: cannot open"), std::string::npos);
}

// Every edge of a closed mesh lies between exactly two polygons that run
// along it in opposite directions: shared points and consistent winding.
void ExpectClosedAndConsistent(const Mesh& m, const char* name) {
  std::map<std::pair<int32_t, int32_t>, int> directed;
  for (const HostPolygon& p : m.polygons) {
    const int32_t c[4] = {p.a, p.b, p.c, p.d};
    const int sides = p.c == p.d ? 3 : 4;
    for (int s = 0; s < sides; ++s) ++directed[{c[s], c[(s + 1) % sides]}];
  }
  for (const auto& [edge, count] : directed) {
    EXPECT_EQ(count, 1) << name << ": edge " << edge.first << "-" << edge.second << " used twice the same way";
    EXPECT_EQ(directed.count({edge.second, edge.first}), 1u) << name << ": edge without a neighbour";
  }
}

TEST(Primitives, AreClosedQuadMeshesWithSharedPointsWoundOutward) {
  const Mesh cube = MakeCube(2.0);
  EXPECT_EQ(cube.points.size(), 8u);
  EXPECT_EQ(cube.polygons.size(), 6u);
  const std::pair<const char*, Mesh> closed[] = {{"cube", cube},
                                                 {"sphere", MakeSphere(2.0, 12)},
                                                 {"cylinder", MakeCylinder(2.0, 10)},
                                                 {"torus", MakeTorus(2.0, 12, 6)}};
  for (const auto& [name, mesh] : closed) {
    ExpectClosedAndConsistent(mesh, name);
    for (const HostPolygon& p : mesh.polygons) {
      Vec centre = (mesh.points[p.a] + mesh.points[p.b] + mesh.points[p.c] + mesh.points[p.d]) * 0.25;
      Vec inside{0, 0, 0};
      if (std::string(name) == "torus") {  // the middle of the tube under this polygon
        const Vec ring = Normalize(Vec{centre.x, 0, centre.z}) * (2.0 * 0.35);
        inside = ring;
      }
      EXPECT_GT(Dot(PolygonNormal(mesh.points.data(), p), centre - inside), 0.0) << name << " polygon faces inward";
    }
  }
  const Mesh plane = MakePlane(2.0, 3);
  EXPECT_EQ(plane.points.size(), 16u);
  EXPECT_EQ(plane.polygons.size(), 9u);
  EXPECT_GT(PolygonNormal(plane.points.data(), plane.polygons[4]).y, 0.99);
  EXPECT_FALSE(MakePrimitive("teapot", 1.0, 0).has_value());
}

}  // namespace
}  // namespace tess::render
