// Polygons of more than four corners as triangles: they must cover the
// polygon exactly, convex or concave, in any plane, with repeated and
// collinear corners, and OBJ faces of any corner count.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <random>

#include "hostapp/assets/obj_reader.h"
#include "hostapp/assets/polygon_mesh.h"
#include "hostapp/assets/polygon_split.h"

namespace tess::assets {
namespace {

struct P2 {
  double x, y;
};

double Cross2(const P2& o, const P2& a, const P2& b) {
  return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x);
}

// A flat polygon: its corners in the plane, and the same corners placed in
// space by a rotation and an offset, so that the split must find the plane.
struct Case {
  std::vector<P2> flat;          // one per point
  std::vector<int32_t> corners;  // indices into flat / points, in order
  std::vector<HostVector> points;
  HostVector normal;
};

void Place(Case& c, std::mt19937& random) {
  std::normal_distribution<double> g;
  HostVector n{g(random), g(random), g(random)};
  const double l = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
  n = {n.x / l, n.y / l, n.z / l};
  HostVector u = std::fabs(n.x) < 0.9 ? HostVector{0, -n.z, n.y} : HostVector{n.z, 0, -n.x};  // perpendicular
  const double ul = std::sqrt(u.x * u.x + u.y * u.y + u.z * u.z);
  u = {u.x / ul, u.y / ul, u.z / ul};
  const HostVector w{n.y * u.z - n.z * u.y, n.z * u.x - n.x * u.z, n.x * u.y - n.y * u.x};
  const HostVector o{g(random) * 100, g(random) * 100, g(random) * 100};
  c.points.clear();
  for (const P2& p : c.flat)
    c.points.push_back({o.x + p.x * u.x + p.y * w.x, o.y + p.x * u.y + p.y * w.y, o.z + p.x * u.z + p.y * w.z});
  c.normal = n;
}

double Area(const Case& c) {
  double a = 0.0;
  for (size_t i = 0; i < c.corners.size(); ++i)
    a += Cross2({0, 0}, c.flat[c.corners[i]], c.flat[c.corners[(i + 1) % c.corners.size()]]);
  return a / 2.0;
}

// Even-odd rule over the outline: also right for a hole bridged to the
// outline, whose bridge edges cancel.
bool InsideOutline(const Case& c, const P2& q) {
  bool inside = false;
  const size_t n = c.corners.size();
  for (size_t i = 0; i < n; ++i) {
    const P2& a = c.flat[c.corners[i]];
    const P2& b = c.flat[c.corners[(i + 1) % n]];
    if ((a.y > q.y) != (b.y > q.y) && q.x < a.x + (q.y - a.y) * (b.x - a.x) / (b.y - a.y)) inside = !inside;
  }
  return inside;
}

// Whether the open segments cross at a point inside both.
bool Cross(const P2& a, const P2& b, const P2& c, const P2& d) {
  const double e = 1e-12;
  const double d1 = Cross2(a, b, c), d2 = Cross2(a, b, d), d3 = Cross2(c, d, a), d4 = Cross2(c, d, b);
  return ((d1 > e && d2 < -e) || (d1 < -e && d2 > e)) && ((d3 > e && d4 < -e) || (d3 < -e && d4 > e));
}

// A quad's two triangles as the ray tracer takes them, (a, b, d) and
// (c, d, b); a quad must be convex.
std::vector<HostPolygon> Triangles(const Case& c, const std::vector<HostPolygon>& polygons) {
  std::vector<HostPolygon> out;
  for (const HostPolygon& p : polygons) {
    if (p.c == p.d) {
      out.push_back(p);
      continue;
    }
    const P2 &a = c.flat[p.a], &b = c.flat[p.b], &cc = c.flat[p.c], &d = c.flat[p.d];
    EXPECT_TRUE(Cross2(a, b, cc) > 0 && Cross2(b, cc, d) > 0 && Cross2(cc, d, a) > 0 && Cross2(d, a, b) > 0)
        << "a quad that is not convex";
    out.push_back({p.a, p.b, p.d, p.d});
    out.push_back({p.c, p.d, p.b, p.b});
  }
  return out;
}

// The triangles (and the halves of quads) are wound like the polygon, add
// up to its area and each lies inside it: its centroid inside, none of its
// edges across an edge of the outline.
void ExpectCovers(const Case& c, const std::vector<HostPolygon>& polygons) {
  double area = 0.0;
  const size_t n = c.corners.size();
  size_t outside = 0, crossing = 0;
  for (const HostPolygon& t : Triangles(c, polygons)) {
    const HostVector &a = c.points[t.a], &b = c.points[t.b], &d = c.points[t.c];
    const HostVector ab{b.x - a.x, b.y - a.y, b.z - a.z}, ad{d.x - a.x, d.y - a.y, d.z - a.z};
    const HostVector x{ab.y * ad.z - ab.z * ad.y, ab.z * ad.x - ab.x * ad.z, ab.x * ad.y - ab.y * ad.x};
    const double along = (x.x * c.normal.x + x.y * c.normal.y + x.z * c.normal.z) / 2.0;
    EXPECT_GT(along, 0.0) << "wound against the polygon";
    area += along;
    const P2 &fa = c.flat[t.a], &fb = c.flat[t.b], &fc = c.flat[t.c];
    if (!InsideOutline(c, {(fa.x + fb.x + fc.x) / 3, (fa.y + fb.y + fc.y) / 3})) ++outside;
    const P2* edge[3][2] = {{&fa, &fb}, {&fb, &fc}, {&fc, &fa}};
    for (const auto& e : edge)
      for (size_t i = 0; i < n; ++i)
        if (Cross(*e[0], *e[1], c.flat[c.corners[i]], c.flat[c.corners[(i + 1) % n]])) ++crossing;
  }
  EXPECT_EQ(outside, 0u);
  EXPECT_EQ(crossing, 0u);
  EXPECT_NEAR(area, Area(c), 1e-7 * std::fabs(Area(c)));
}

// The polygon's area in the xy plane, a quad's or a triangle's.
double AreaXY(const std::vector<HostVector>& points, const HostPolygon& p) {
  const int32_t corners[4] = {p.a, p.b, p.c, p.d};
  const int count = p.c == p.d ? 3 : 4;
  double twice = 0.0;
  for (int k = 0; k < count; ++k) {
    const HostVector &a = points[corners[k]], &b = points[corners[(k + 1) % count]];
    twice += a.x * b.y - a.y * b.x;
  }
  return twice / 2;
}

std::vector<HostPolygon> Split(const Case& c) {
  std::vector<HostPolygon> out;
  SplitPolygon(c.points, c.corners.data(), c.corners.size(), out);
  return out;
}

// Corners at random radii around the origin (star-shaped, mostly concave),
// with some edges given a collinear corner halfway and some corners given
// twice, once by the same index and once by a point of its own.
Case Star(int count, std::mt19937& random) {
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  Case c;
  for (int i = 0; i < count; ++i) {
    const double angle = 2 * M_PI * (i + 0.8 * unit(random)) / count;
    const double r = 0.3 + 0.7 * unit(random);
    c.flat.push_back({r * std::cos(angle), r * std::sin(angle)});
  }
  const std::vector<P2> ring = c.flat;
  for (int i = 0; i < count; ++i) {
    c.corners.push_back(i);
    const double roll = unit(random);
    if (roll < 0.05) {
      c.corners.push_back(static_cast<int32_t>(i));
    } else if (roll < 0.1) {
      c.flat.push_back(ring[static_cast<size_t>(i)]);
      c.corners.push_back(static_cast<int32_t>(c.flat.size() - 1));
    } else if (roll < 0.2) {
      const P2& next = ring[static_cast<size_t>((i + 1) % count)];
      c.flat.push_back({(ring[static_cast<size_t>(i)].x + next.x) / 2, (ring[static_cast<size_t>(i)].y + next.y) / 2});
      c.corners.push_back(static_cast<int32_t>(c.flat.size() - 1));
    }
  }
  return c;
}

// A comb: teeth of random depth hanging from a bar, far from star-shaped.
Case Comb(int teeth, std::mt19937& random) {
  std::uniform_real_distribution<double> depth(0.5, 5.0);
  Case c;
  c.flat.push_back({0, 0});
  for (int k = 0; k < teeth; ++k) {
    const double x = 2.0 * k, d = depth(random);
    c.flat.push_back({x + 1, 0});
    c.flat.push_back({x + 1, d});
    c.flat.push_back({x + 2, d});
    c.flat.push_back({x + 2, 0});
  }
  c.flat.push_back({2.0 * teeth + 1, 0});
  c.flat.push_back({2.0 * teeth + 1, -1});
  c.flat.push_back({0, -1});
  for (size_t i = c.flat.size(); i-- > 0;) c.corners.push_back(static_cast<int32_t>(i));  // counter-clockwise
  return c;
}

TEST(SplitPolygon, RandomStarShapedPolygonsAreCoveredExactly) {
  std::mt19937 random(7);
  for (const int count : {5, 6, 7, 9, 12, 20, 57, 200, 2000}) {
    for (int round = 0; round < (count > 100 ? 2 : 20); ++round) {
      Case c = Star(count, random);
      Place(c, random);
      SCOPED_TRACE(std::to_string(count) + " corners, round " + std::to_string(round));
      ExpectCovers(c, Split(c));
    }
  }
}

TEST(SplitPolygon, TheSizeOfThePolygonChangesNothing) {
  // Scaled by powers of two, every product scales exactly: the same
  // triangles at 10^-150 and 10^150 as at 1.
  std::mt19937 random(13);
  Case c = Star(300, random);
  Place(c, random);
  const std::vector<HostPolygon> unit = Split(c);
  for (const double scale : {std::ldexp(1.0, -500), std::ldexp(1.0, 500)}) {
    Case scaled = c;
    for (HostVector& p : scaled.points) p = {p.x * scale, p.y * scale, p.z * scale};
    const std::vector<HostPolygon> t = Split(scaled);
    ASSERT_EQ(t.size(), unit.size()) << scale;
    for (size_t k = 0; k < t.size(); ++k)
      EXPECT_TRUE(t[k].a == unit[k].a && t[k].b == unit[k].b && t[k].c == unit[k].c) << k;
  }
}

TEST(SplitPolygon, CombsAndConvexPolygonsAreCoveredExactly) {
  std::mt19937 random(11);
  for (const int teeth : {1, 2, 5, 40, 400}) {
    Case c = Comb(teeth, random);
    Place(c, random);
    SCOPED_TRACE(std::to_string(teeth) + " teeth");
    ExpectCovers(c, Split(c));
  }
  Case regular;
  for (int i = 0; i < 1000; ++i) {
    regular.flat.push_back({std::cos(i * 2 * M_PI / 1000), std::sin(i * 2 * M_PI / 1000)});
    regular.corners.push_back(i);
  }
  Place(regular, random);
  const std::vector<HostPolygon> t = Split(regular);
  size_t quads = 0;
  for (const HostPolygon& p : t) quads += p.c != p.d ? 1 : 0;
  EXPECT_EQ(t.size() + quads, 998u) << "a convex polygon of n corners is n - 2 triangles, paired into quads";
  EXPECT_GT(quads, 300u) << "flat triangles that share an edge become quads";
  ExpectCovers(regular, t);
}

TEST(SplitPolygon, AHoleBridgedToTheOutlineStaysOpen) {
  // A square with a square hole, joined by an edge gone there and back:
  // corners 0 and 4 each come twice.
  Case c{{{0, 0}, {4, 0}, {4, 4}, {0, 4}, {1, 1}, {1, 3}, {3, 3}, {3, 1}}, {0, 1, 2, 3, 0, 4, 5, 6, 7, 4}, {}, {}};
  std::mt19937 random(3);
  Place(c, random);
  const std::vector<HostPolygon> t = Split(c);
  EXPECT_NEAR(Area(c), 12.0, 1e-12);
  ExpectCovers(c, t);
}

TEST(SplitPolygon, CollinearCornersStayCornersOfTheTriangles) {
  // A rectangle with three corners along its bottom edge: the triangles use
  // them, so that the polygon below that edge still shares its edges.
  Case c{{{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}, {4, 1}, {0, 1}}, {0, 1, 2, 3, 4, 5, 6}, {}, {}};
  std::mt19937 random(5);
  Place(c, random);
  const std::vector<HostPolygon> t = Split(c);
  ExpectCovers(c, t);
  for (const int32_t bottom : {1, 2, 3}) {
    bool used = false;
    for (const HostPolygon& p : t) used = used || p.a == bottom || p.b == bottom || p.c == bottom || p.d == bottom;
    EXPECT_TRUE(used) << bottom;
  }
}

TEST(SplitPolygon, PolygonsWithoutAreaAddNothingAndNothingCrashes) {
  std::vector<HostPolygon> out;
  const std::vector<HostVector> line = {{0, 0, 0}, {1, 1, 1}, {2, 2, 2}, {3, 3, 3}, {4, 4, 4}};
  const int32_t five[] = {0, 1, 2, 3, 4};
  SplitPolygon(line, five, 5, out);
  EXPECT_TRUE(out.empty()) << "corners on one line";
  const int32_t same[] = {2, 2, 2, 2, 2, 2};
  SplitPolygon(line, same, 6, out);
  EXPECT_TRUE(out.empty()) << "one corner six times";
  // A spike: out along a line and back, then a triangle.
  const std::vector<HostVector> spike = {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {1, 0, 0}, {0, 1, 0}};
  SplitPolygon(spike, five, 5, out);
  double area = 0.0;
  for (const HostPolygon& p : out) area += AreaXY(spike, p);
  EXPECT_NEAR(area, 0.5, 1e-12);
  // An outline that crosses itself (a bow tie and a star polygon {7/3}) has
  // no inside to keep to; the split still ends, on the polygon's corners.
  out.clear();
  std::vector<HostVector> star;
  std::vector<int32_t> order;
  for (int i = 0; i < 7; ++i) {
    star.push_back({std::cos(i * 2 * M_PI / 7), std::sin(i * 2 * M_PI / 7), 0});
    order.push_back(static_cast<int32_t>((3 * i) % 7));
  }
  SplitPolygon(star, order.data(), order.size(), out);
  EXPECT_LE(out.size(), 5u);
  for (const HostPolygon& p : out)
    for (const int32_t k : {p.a, p.b, p.c, p.d}) EXPECT_TRUE(k >= 0 && k < 7);
}

TEST(AppendPolygon, TrianglesAndQuadsStayAndLargerPolygonsAreSplit) {
  // A concave quad (an arrowhead) and a concave hexagon.
  const std::vector<HostVector> points = {{0, 0, 0}, {2, 1, 0}, {0, 2, 0}, {1, 1, 0}, {3, 0, 0}, {3, 3, 0}, {0, 3, 0}};
  std::vector<HostPolygon> out;
  const int32_t quad[] = {0, 1, 2, 3};
  AppendPolygon(points, out, quad, 2);
  EXPECT_TRUE(out.empty()) << "a line is no polygon";
  AppendPolygon(points, out, quad, 3);
  AppendPolygon(points, out, quad, 4);
  ASSERT_EQ(out.size(), 2u);
  EXPECT_TRUE(out[0].a == 0 && out[0].b == 1 && out[0].c == 2 && out[0].d == 2);
  EXPECT_TRUE(out[1].a == 0 && out[1].b == 1 && out[1].c == 2 && out[1].d == 3) << "a concave quad stays whole";
  out.clear();
  const int32_t six[] = {0, 4, 5, 6, 2, 3};  // a square with a notch cut in its left side
  AppendPolygon(points, out, six, 6);
  ASSERT_GE(out.size(), 2u);
  ASSERT_LE(out.size(), 4u);
  double area = 0.0;
  for (const HostPolygon& p : out) area += AreaXY(points, p);
  EXPECT_DOUBLE_EQ(area, 8.0) << "the square less its notch";
}

std::string WriteFile(const std::string& name, const std::string& text) {
  const std::filesystem::path path =
      std::filesystem::temp_directory_path() / ("tessaline-split-" + std::to_string(::getpid()) + "-" + name);
  std::ofstream(path, std::ios::binary) << text;
  return path.string();
}

TEST(ObjReader, FacesOfHundredsAndThousandsOfCornersAndTheFacesAfterThem) {
  // Two round faces of 300 and 1,000 corners, then a triangle and a quad.
  std::string obj;
  for (const int n : {300, 1000})
    for (int i = 0; i < n; ++i)
      obj += "v " + std::to_string(std::cos(i * 2 * M_PI / n)) + " " + std::to_string(std::sin(i * 2 * M_PI / n)) +
             " " + std::to_string(n) + "\n";
  obj += "v 5 0 0\nv 6 0 0\nv 6 1 0\nv 5 1 0\n";
  obj += "f";
  for (int i = 1; i <= 300; ++i) obj += " " + std::to_string(i) + "/" + std::to_string(i);
  obj += "\nf";
  for (int i = 301; i <= 1300; ++i) obj += " " + std::to_string(i);
  obj += "\nf 1301 1302 1303\nf -4 -3 -2 -1\n";
  const render::MeshResult r = render::ReadObj(WriteFile("round.obj", obj));
  ASSERT_TRUE(r.ok()) << r.error;
  // Each face's polygons in its place: triangles, or pairs of them as quads,
  // n - 2 triangles in all for a face of n corners.
  const std::vector<HostPolygon>& polygons = r.mesh.polygons;
  ASSERT_GE(polygons.size(), 4u);
  size_t triangles[2] = {0, 0};
  double area[2] = {0, 0};
  for (size_t k = 0; k + 2 < polygons.size(); ++k) {
    const HostPolygon& p = polygons[k];
    const int face = p.a < 300 ? 0 : 1;
    for (const int32_t corner : {p.a, p.b, p.c, p.d}) EXPECT_EQ(corner < 300 ? 0 : 1, face) << k;
    EXPECT_LT(p.a, 1300);
    EXPECT_TRUE(face == 1 || triangles[1] == 0) << "the first face's polygons come first";
    triangles[face] += p.c == p.d ? 1 : 2;
    area[face] += AreaXY(r.mesh.points, p);
  }
  EXPECT_EQ(triangles[0], 298u);
  EXPECT_EQ(triangles[1], 998u);
  const HostPolygon& tri = polygons[polygons.size() - 2];
  const HostPolygon& quad = polygons.back();
  EXPECT_TRUE(tri.a == 1300 && tri.b == 1301 && tri.c == 1302 && tri.d == 1302);
  EXPECT_TRUE(quad.a == 1300 && quad.b == 1301 && quad.c == 1302 && quad.d == 1303);
  EXPECT_NEAR(area[0], 300 / 2.0 * std::sin(2 * M_PI / 300), 1e-4);
  EXPECT_NEAR(area[1], 1000 / 2.0 * std::sin(2 * M_PI / 1000), 1e-4);
}

}  // namespace
}  // namespace tess::assets
