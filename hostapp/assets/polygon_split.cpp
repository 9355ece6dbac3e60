#include "hostapp/assets/polygon_split.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <utility>

namespace tess::assets {
namespace {

struct Point2 {
  double x, y;
};

// Twice the signed area of (a, b, c): positive when they turn left.
double Area2(const Point2& a, const Point2& b, const Point2& c) {
  return (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
}

bool Same(const Point2& a, const Point2& b) {
  return a.x == b.x && a.y == b.y;
}

// The corners in the polygon's best-fit plane: the Newell normal is the
// plane's normal, and the in-plane axes are chosen so that the polygon winds
// counter-clockwise (positive area). False for a polygon without area.
bool Project(const std::vector<HostVector>& points, const int32_t* corners, size_t count, std::vector<Point2>& flat) {
  // Relative to the first corner, so that far-off polygons keep their digits.
  const HostVector o = points[corners[0]];
  double nx = 0, ny = 0, nz = 0;
  for (size_t i = 0; i < count; ++i) {
    const HostVector& p = points[corners[i]];
    const HostVector& q = points[corners[(i + 1) % count]];
    const double py = p.y - o.y, pz = p.z - o.z, px = p.x - o.x;
    const double qy = q.y - o.y, qz = q.z - o.z, qx = q.x - o.x;
    nx += (py - qy) * (pz + qz);
    ny += (pz - qz) * (px + qx);
    nz += (px - qx) * (py + qy);
  }
  // Divided by its largest component first: squared, the normal of a tiny
  // or a huge polygon would leave the range of doubles.
  const double largest = std::max({std::fabs(nx), std::fabs(ny), std::fabs(nz)});
  if (!(largest > 0.0) || !std::isfinite(largest)) return false;
  nx /= largest, ny /= largest, nz /= largest;
  const double length = std::sqrt(nx * nx + ny * ny + nz * nz);
  nx /= length, ny /= length, nz /= length;
  // u: perpendicular to the normal, from the coordinate axis least along it.
  double ux, uy, uz;
  if (std::fabs(nx) <= std::fabs(ny) && std::fabs(nx) <= std::fabs(nz)) {
    ux = 0, uy = nz, uz = -ny;  // x cross n
  } else if (std::fabs(ny) <= std::fabs(nz)) {
    ux = -nz, uy = 0, uz = nx;  // y cross n
  } else {
    ux = ny, uy = -nx, uz = 0;  // z cross n
  }
  const double ul = std::sqrt(ux * ux + uy * uy + uz * uz);
  ux /= ul, uy /= ul, uz /= ul;
  // w = n x u, so that (u, w, n) is right-handed.
  const double wx = ny * uz - nz * uy, wy = nz * ux - nx * uz, wz = nx * uy - ny * ux;
  flat.resize(count);
  for (size_t i = 0; i < count; ++i) {
    const HostVector& p = points[corners[i]];
    const double px = p.x - o.x, py = p.y - o.y, pz = p.z - o.z;
    flat[i] = {px * ux + py * uy + pz * uz, px * wx + py * wy + pz * wz};
  }
  return true;
}

// The corners that may block an ear (those that do not turn left), by place:
// an ear's test looks at the cells its triangle's box covers, not at every
// such corner, so that a polygon of a hundred thousand corners splits in
// well under a second rather than a minute.
class CornerGrid {
 public:
  void Build(const std::vector<Point2>& at, const std::vector<int>& corners) {
    Point2 lo{HUGE_VAL, HUGE_VAL}, hi{-HUGE_VAL, -HUGE_VAL};
    for (const int q : corners) {
      lo = {std::min(lo.x, at[q].x), std::min(lo.y, at[q].y)};
      hi = {std::max(hi.x, at[q].x), std::max(hi.y, at[q].y)};
    }
    size = std::clamp(static_cast<int>(std::sqrt(static_cast<double>(corners.size()))), 1, 1024);
    origin = lo;
    scaleX = hi.x > lo.x ? size / (hi.x - lo.x) : 0.0;
    scaleY = hi.y > lo.y ? size / (hi.y - lo.y) : 0.0;
    cells.assign(static_cast<size_t>(size) * static_cast<size_t>(size), {});
    for (const int q : corners) cells[Cell(Column(at[q].x), Row(at[q].y))].push_back(q);
  }

  // Calls `visit` with every corner in the cells that the box from `lo` to
  // `hi` covers, until it returns true; drops corners `gone` says are gone.
  template <typename Gone, typename Visit>
  int Find(const Point2& lo, const Point2& hi, Gone gone, Visit visit) {
    for (int row = Row(lo.y); row <= Row(hi.y); ++row)
      for (int column = Column(lo.x); column <= Column(hi.x); ++column) {
        std::vector<int>& cell = cells[Cell(column, row)];
        cell.erase(std::remove_if(cell.begin(), cell.end(), gone), cell.end());
        for (const int q : cell)
          if (visit(q)) return q;
      }
    return -1;
  }

 private:
  int Column(double x) const { return Clamp((x - origin.x) * scaleX); }
  int Row(double y) const { return Clamp((y - origin.y) * scaleY); }
  // In double first: a box of almost no width scales by almost infinity.
  int Clamp(double t) const {
    if (!(t >= 0.0)) return 0;
    return t >= size - 1 ? size - 1 : static_cast<int>(t);
  }
  size_t Cell(int column, int row) const {
    return static_cast<size_t>(row) * static_cast<size_t>(size) + static_cast<size_t>(column);
  }

  int size = 1;
  Point2 origin{0, 0};
  double scaleX = 0.0, scaleY = 0.0;
  std::vector<std::vector<int>> cells;
};

// A ring of corners clipped one ear at a time. Each corner remembers what
// stopped it from being an ear (the corner lying in its triangle), so that
// it is tested again only when its neighbours or that corner change: the
// whole split costs O(n * reflex corners) at worst, far less for the usual
// polygon, whose ears are small.
class EarClipper {
 public:
  EarClipper(const std::vector<HostVector>& points, std::vector<Point2> flat, const int32_t* corners, size_t count)
      : space(points), at(std::move(flat)), index(corners) {
    double extent = 0.0;
    for (const Point2& p : at) extent = std::max({extent, std::fabs(p.x - at[0].x), std::fabs(p.y - at[0].y)});
    tolerance = 1e-13 * extent * extent;
    const int n = static_cast<int>(count);
    for (int i = 0; i < n; ++i) left += Area2(at[0], at[i], at[(i + 1) % n]);
    // What rounding leaves of the area once every triangle is out.
    slack = 1e-10 * left + tolerance;
    for (int i = 0; i < n; ++i) {
      next.push_back((i + 1) % n);
      prev.push_back((i + n - 1) % n);
    }
    alive.assign(count, true);
    blocker.assign(count, unknown);
    remaining = n;
    DropRepeats();
    BuildGrid();
  }

  void Run(std::vector<HostPolygon>& out) {
    int v = First();
    int sinceClip = 0;
    // Once the ring that is left has no area, it is slivers and spikes.
    while (remaining > 3 && left > slack) {
      if (IsEar(v)) {
        // On to the corner after the next: ears taken in turn around the
        // ring stay small, where ears taken one after the other fan out.
        const int after = next[next[v]];
        Clip(v);
        v = after;
        sinceClip = 0;
      } else if (++sinceClip > remaining) {
        // No ear left: the outline crosses itself (or rounding says so).
        // A corner that adds no area goes, else the most convex one, so
        // that the split always ends.
        const int victim = Flattest();
        v = next[victim];
        Clip(victim);
        sinceClip = 0;
      } else {
        v = next[v];
      }
    }
    if (remaining == 3 && left > slack) Emit(prev[v], v, next[v]);
    Pair(out);
  }

 private:
  static constexpr int unknown = -1, none = -2;

  bool Convex(int v) const { return Area2(at[prev[v]], at[v], at[next[v]]) > tolerance; }

  int First() const {
    for (int i = 0; i < static_cast<int>(alive.size()); ++i)
      if (alive[i]) return i;
    return 0;
  }

  void Unlink(int v) {
    alive[v] = false;
    next[prev[v]] = next[v];
    prev[next[v]] = prev[v];
    blocker[prev[v]] = blocker[next[v]] = unknown;
    --remaining;
    // Late ears span much of what is left: a grid fitted to fewer corners
    // keeps their tests short.
    if (remaining > 64 && 4 * remaining < gridRing) BuildGrid();
  }

  void BuildGrid() {
    std::vector<int> candidates;
    for (int i = 0; i < static_cast<int>(alive.size()); ++i)
      if (alive[i] && !Convex(i)) candidates.push_back(i);
    grid.Build(at, candidates);
    gridRing = remaining;
  }

  // A corner at the place of the one before it adds an edge of no length.
  void DropRepeats() {
    for (int i = 0; i < static_cast<int>(alive.size()) && remaining > 2; ++i)
      if (alive[i] && (index[i] == index[prev[i]] || Same(at[i], at[prev[i]]))) Unlink(i);
  }

  bool Inside(int q, int a, int b, int c) const {
    const Point2& p = at[q];
    // The same place as a corner of the triangle is that corner (a polygon
    // that touches itself, or a bridge to a hole, repeats corners).
    if (Same(p, at[a]) || Same(p, at[b]) || Same(p, at[c])) return false;
    return Area2(at[a], at[b], p) >= -tolerance && Area2(at[b], at[c], p) >= -tolerance &&
           Area2(at[c], at[a], p) >= -tolerance;
  }

  bool IsEar(int v) {
    if (!Convex(v)) return false;
    const int a = prev[v], c = next[v];
    // More area than the ring has left: the ring folds over itself here.
    if (Area2(at[a], at[v], at[c]) > left + slack) return false;
    const int known = blocker[v];
    if (known == none) return true;
    if (known >= 0 && alive[known] && !Convex(known)) return false;
    // Only corners that do not turn left can lie inside an ear's triangle
    // without an edge crossing it.
    const Point2 &pa = at[a], &pv = at[v], &pc = at[c];
    const Point2 lo{std::min({pa.x, pv.x, pc.x}), std::min({pa.y, pv.y, pc.y})};
    const Point2 hi{std::max({pa.x, pv.x, pc.x}), std::max({pa.y, pv.y, pc.y})};
    const int found = grid.Find(
        lo, hi, [&](int q) { return !alive[q]; },
        [&](int q) { return q != a && q != v && q != c && !Convex(q) && Inside(q, a, v, c); });
    blocker[v] = found >= 0 ? found : none;
    return found < 0;
  }

  int Flattest() const {
    int best = -1;
    double most = 0.0;
    for (int i = 0; i < static_cast<int>(alive.size()); ++i) {
      if (!alive[i]) continue;
      const double area = Area2(at[prev[i]], at[i], at[next[i]]);
      if (std::fabs(area) <= tolerance) return i;
      if (best < 0 || area > most) best = i, most = area;
    }
    return best;
  }

  void Emit(int a, int b, int c) {
    const double area = Area2(at[a], at[b], at[c]);
    left -= area;
    if (area > tolerance) triangles.push_back({a, b, c});
  }

  // Two triangles that share an edge and lie in one plane become one quad
  // where the quad is convex: half the inner edges. The shared edge is the
  // quad's b-d diagonal, along which the ray tracer splits it again.
  void Pair(std::vector<HostPolygon>& out) const {
    // The triangle across each edge (q, s) of triangle t, edge k = corners
    // k and k + 1: edges sorted by their corners meet their twins.
    const auto count = static_cast<int>(triangles.size());
    std::vector<std::pair<uint64_t, int>> edges;
    edges.reserve(3 * triangles.size());
    for (int t = 0; t < count; ++t)
      for (int k = 0; k < 3; ++k) {
        const int x = triangles[t][k], y = triangles[t][(k + 1) % 3];
        edges.emplace_back(static_cast<uint64_t>(std::min(x, y)) << 32 | static_cast<uint32_t>(std::max(x, y)),
                           3 * t + k);
      }
    std::sort(edges.begin(), edges.end());
    std::vector<int> across(3 * triangles.size(), -1);
    for (size_t i = 0; i + 1 < edges.size(); ++i)
      if (edges[i].first == edges[i + 1].first) {
        across[edges[i].second] = edges[i + 1].second / 3;
        across[edges[i + 1].second] = edges[i].second / 3;
      }
    std::vector<bool> used(triangles.size(), false);
    for (int t = 0; t < count; ++t) {
      if (used[t]) continue;
      used[t] = true;
      const std::array<int, 3>& r = triangles[t];
      bool paired = false;
      for (int k = 0; k < 3 && !paired; ++k) {
        // Edge (q, s) of t = (p, q, s); the other triangle has it as (s, q).
        const int p = r[(k + 2) % 3], q = r[k], s = r[(k + 1) % 3];
        const int u = across[3 * t + k];
        if (u < 0 || used[u]) continue;
        int w = -1;
        for (int j = 0; j < 3; ++j)
          if (triangles[u][j] == s && triangles[u][(j + 1) % 3] == q) w = triangles[u][(j + 2) % 3];
        if (w < 0 || !ConvexQuad(p, q, w, s) || !Coplanar(p, q, s, w)) continue;
        used[u] = paired = true;
        out.push_back({index[p], index[q], index[w], index[s]});
      }
      if (!paired) out.push_back({index[r[0]], index[r[1]], index[r[2]], index[r[2]]});
    }
  }

  bool ConvexQuad(int a, int b, int c, int d) const {
    return Area2(at[a], at[b], at[c]) > tolerance && Area2(at[b], at[c], at[d]) > tolerance &&
           Area2(at[c], at[d], at[a]) > tolerance && Area2(at[d], at[a], at[b]) > tolerance;
  }

  // Whether the triangles (a, b, c) and (c, b, d) face the same way in space,
  // to rounding: a polygon that is not flat keeps its bends as edges.
  bool Coplanar(int a, int b, int c, int d) const {
    const HostVector &pa = space[index[a]], &pb = space[index[b]], &pc = space[index[c]], &pd = space[index[d]];
    const auto normal = [](const HostVector& o, const HostVector& x, const HostVector& y) {
      const double ux = x.x - o.x, uy = x.y - o.y, uz = x.z - o.z, vx = y.x - o.x, vy = y.y - o.y, vz = y.z - o.z;
      const double nx = uy * vz - uz * vy, ny = uz * vx - ux * vz, nz = ux * vy - uy * vx;
      const double largest = std::max({std::fabs(nx), std::fabs(ny), std::fabs(nz)});
      return std::array<double, 3>{nx / largest, ny / largest, nz / largest};
    };
    const std::array<double, 3> m = normal(pa, pb, pc), n = normal(pc, pb, pd);
    const double dot = m[0] * n[0] + m[1] * n[1] + m[2] * n[2];
    const double mm = m[0] * m[0] + m[1] * m[1] + m[2] * m[2], nn = n[0] * n[0] + n[1] * n[1] + n[2] * n[2];
    return dot > 0.0 && dot * dot >= (1.0 - 1e-12) * mm * nn;
  }

  void Clip(int v) {
    Emit(prev[v], v, next[v]);
    Unlink(v);
  }

  const std::vector<HostVector>& space;
  std::vector<Point2> at;
  const int32_t* index;
  std::vector<std::array<int, 3>> triangles;  // corners of the ring, clipped in turn
  std::vector<int> next, prev, blocker;
  CornerGrid grid;
  int gridRing = 0;  // the ring's size when the grid was built
  std::vector<bool> alive;
  int remaining = 0;
  double tolerance = 0.0;
  double left = 0.0;  // twice the area of the ring that is left
  double slack = 0.0;
};

}  // namespace

void SplitPolygon(const std::vector<HostVector>& points, const int32_t* corners, size_t count,
                  std::vector<HostPolygon>& out) {
  if (count < 3) return;
  std::vector<Point2> flat;
  if (!Project(points, corners, count, flat)) return;
  EarClipper(points, std::move(flat), corners, count).Run(out);
}

}  // namespace tess::assets
