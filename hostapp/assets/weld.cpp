#include "hostapp/assets/weld.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

#include <sys/mman.h>

namespace tess::assets {
namespace {

// Allocator for the large tables read in no order: in 2 MB pages where the
// system allows, as a hint. With 4 kB pages nearly every lookup in the
// exact-position table also misses the address translation cache, and in a
// virtual machine that walk costs more than the read; a fresh process also
// takes a page fault per 4 kB it writes.
template <typename T>
struct LargePages {
  using value_type = T;
  LargePages() = default;
  template <typename U>
  explicit LargePages(const LargePages<U>& /*other*/) {}
  T* allocate(size_t n) {
    constexpr size_t page = size_t{2} << 20;
    const size_t bytes = (n * sizeof(T) + page - 1) / page * page;
    void* p = std::aligned_alloc(page, bytes);
    if (p == nullptr) throw std::bad_alloc();
#ifdef MADV_HUGEPAGE
    madvise(p, bytes, MADV_HUGEPAGE);
#endif
    return static_cast<T*>(p);
  }
  void deallocate(T* p, size_t /*n*/) {
    std::free(p);
  }
  friend bool operator==(const LargePages& /*a*/, const LargePages& /*b*/) {
    return true;
  }
  friend bool operator!=(const LargePages& /*a*/, const LargePages& /*b*/) {
    return false;
  }
};
template <typename T>
using LargeVector = std::vector<T, LargePages<T>>;
using Numbers = LargeVector<uint32_t>;  // a number per point

uint64_t Bits(double v) {
  v += 0.0;  // -0 and +0 are one position (-0 + 0 is +0; any other value stays as it is)
  uint64_t bits = 0;
  std::memcpy(&bits, &v, sizeof bits);
  return bits;
}

uint64_t Mix(uint64_t h) {  // splitmix64's finalizer
  h ^= h >> 30;
  h *= 0xbf58476d1ce4e5b9ull;
  h ^= h >> 27;
  h *= 0x94d049bb133111ebull;
  return h ^ (h >> 31);
}

bool Same(const HostVector& a, const HostVector& b) {
  return a.x == b.x && a.y == b.y && a.z == b.z;
}

// Inlined: taken three million times for a million triangles.
inline __attribute__((always_inline)) uint64_t PositionHash(const HostVector& p) {
  return Mix(Bits(p.x) ^ Mix(Bits(p.y) ^ Mix(Bits(p.z) + 0x9e3779b97f4a7c15ull)));
}

// The bounding box of the distinct positions and their number, taken while
// they are found, when each is in the cache anyway.
struct Bounds {
  double lo[3] = {std::numeric_limits<double>::max(), std::numeric_limits<double>::max(),
                  std::numeric_limits<double>::max()};
  double hi[3] = {-lo[0], -lo[1], -lo[2]};
  double largest = 0.0;  // of the coordinates' magnitudes
  size_t count = 0;

  void Add(const HostVector& p) {
    const double c[3] = {p.x, p.y, p.z};
    for (int k = 0; k < 3; ++k) {
      lo[k] = std::min(lo[k], c[k]);
      hi[k] = std::max(hi[k], c[k]);
      largest = std::max(largest, std::fabs(c[k]));
    }
    ++count;
  }
};

// first[i]: the lowest index whose point lies at exactly the position of i.
// One hash table over the distinct positions, which are far fewer than the
// points where corners are stored apart (an STL has about one in six), so it
// stays small enough for the cache; a point is compared only with points of
// the same 64-bit hash, mostly its own earlier copies, read moments before.
Numbers FirstAtSamePosition(const std::vector<HostVector>& points, Bounds& distinct) {
  struct Slot {
    uint32_t tag;    // the hash's upper half: most unequal positions differ here
    uint32_t index;  // empty: no point
  };
  constexpr uint32_t empty = UINT32_MAX;
  // Sized for one distinct position in four points to begin with; doubled
  // whenever it is half full, so that probes stay short.
  size_t size = 1024;
  while (size < points.size() / 2) size *= 2;
  size_t used = 0;
  LargeVector<Slot> table(size, Slot{0, empty});
  Numbers first(points.size());
  const auto insert = [&](const Slot& slot, uint64_t hash) {
    size_t s = hash & (size - 1);
    while (table[s].index != empty) s = (s + 1) & (size - 1);
    table[s] = slot;
  };
  // The table is far larger than the cache and a point's slot is anywhere in
  // it: each lookup would wait for memory. So the hashes of the next points
  // are taken ahead and their slots fetched meanwhile, overlapping the waits.
  constexpr size_t ahead = 16;
  uint64_t hashes[ahead] = {};
  for (size_t i = 0; i < ahead && i < points.size(); ++i) hashes[i] = PositionHash(points[i]);
  for (uint32_t i = 0; i < points.size(); ++i) {
    const uint64_t hash = hashes[i % ahead];
    if (i + ahead < points.size()) {
      const uint64_t later = PositionHash(points[i + ahead]);
      hashes[i % ahead] = later;
      __builtin_prefetch(&table[later & (size - 1)]);
    }
    if (2 * (used + 1) > size) {
      LargeVector<Slot> old(2 * size, Slot{0, empty});
      old.swap(table);
      size *= 2;
      for (const Slot& slot : old)
        if (slot.index != empty) insert(slot, PositionHash(points[slot.index]));
    }
    const auto tag = static_cast<uint32_t>(hash >> 32);
    size_t s = hash & (size - 1);
    for (;; s = (s + 1) & (size - 1)) {
      const Slot& slot = table[s];
      if (slot.index == empty || (slot.tag == tag && Same(points[slot.index], points[i]))) break;
    }
    if (table[s].index == empty) {
      table[s] = Slot{tag, i};
      distinct.Add(points[i]);
      ++used;
    }
    first[i] = table[s].index;
  }
  return first;
}

// A hash grid of kept points: open addressing over cells, each slot the head
// of a list of the points kept in its cell. A slot tells its cell by half of
// the cell's hash: two cells that look alike share a list, which only adds
// candidates whose distance is measured anyway. Small slots keep the table
// in the cache.
class Grid {
 public:
  Grid(size_t expected, double cell) : cell_(cell) {
    size_t size = 16;
    while (size < expected + expected / 2) size *= 2;
    slots_.assign(size, Slot{});
    mask_ = size - 1;
  }

  struct Cell {
    int64_t x, y, z;
  };

  Cell CellOf(const HostVector& p) const { return {Floor(p.x / cell_), Floor(p.y / cell_), Floor(p.z / cell_)}; }

  // Head of the cell's list, -1 when empty.
  int32_t Head(const Cell& c) const {
    const uint64_t key = Key(c);
    const auto tag = static_cast<uint32_t>(key >> 32);
    for (size_t s = key & mask_;; s = (s + 1) & mask_) {
      const Slot& slot = slots_[s];
      if (slot.head < 0) return -1;
      if (slot.tag == tag) return slot.head;
    }
  }

  // Makes `item` the cell's head; returns the previous head (-1 if none).
  int32_t Push(const Cell& c, int32_t item) {
    const uint64_t key = Key(c);
    const auto tag = static_cast<uint32_t>(key >> 32);
    for (size_t s = key & mask_;; s = (s + 1) & mask_) {
      Slot& slot = slots_[s];
      if (slot.head < 0) {
        slot = Slot{tag, item};
        return -1;
      }
      if (slot.tag == tag) {
        const int32_t previous = slot.head;
        slot.head = item;
        return previous;
      }
    }
  }

  double CellSize() const { return cell_; }

  // std::floor, without the library call it is on the baseline instruction
  // set; the cell sizes keep v far inside 64 bits.
  static int64_t Floor(double v) {
    const auto i = static_cast<int64_t>(v);  // toward zero
    return static_cast<double>(i) > v ? i - 1 : i;
  }

  static uint64_t Key(const Cell& c) {
    return Mix(static_cast<uint64_t>(c.x) * 0x9e3779b97f4a7c15ull ^
               Mix(static_cast<uint64_t>(c.y) ^ Mix(static_cast<uint64_t>(c.z))));
  }

 private:
  struct Slot {
    uint32_t tag = 0;  // the upper half of the cell's hash; the lower half chose the slot
    int32_t head = -1;
  };

  double cell_;
  size_t mask_ = 0;
  std::vector<Slot> slots_;
};

// Cells at least twice the distance, so that a point's neighbourhood reaches
// into at most one more cell per axis, and most points (those farther than
// the distance from every face of their cell) need their own cell only. Up to
// 64 times the distance where the points are sparse enough; and large enough
// that cell numbers stay far inside 64 bits.
double CellSize(const Bounds& bounds, double distance) {
  const double* lo = bounds.lo;
  const double* hi = bounds.hi;
  const double diagonal = std::sqrt((hi[0] - lo[0]) * (hi[0] - lo[0]) + (hi[1] - lo[1]) * (hi[1] - lo[1]) +
                                    (hi[2] - lo[2]) * (hi[2] - lo[2]));
  const double spacing = diagonal / std::sqrt(static_cast<double>(std::max<size_t>(bounds.count, 1)));
  double cell = std::clamp(spacing / 4.0, 2.0 * distance, 64.0 * distance);
  return std::max(cell, bounds.largest / 1e15);
}

// The cells a point's neighbourhood reaches: its own, and per axis the next
// one past each face it lies within the distance of (bit 2k: below on axis
// k, bit 2k + 1: above).
struct Reach {
  Grid::Cell home;
  uint8_t sides = 0;
};

Reach ReachOf(const Grid& grid, const HostVector& p, double reach) {
  Reach r{grid.CellOf(p)};
  const double h = grid.CellSize();
  const double c[3] = {p.x, p.y, p.z};
  const int64_t home[3] = {r.home.x, r.home.y, r.home.z};
  for (int k = 0; k < 3; ++k) {
    const double low = static_cast<double>(home[k]) * h;
    if (c[k] - low <= reach) r.sides |= 1 << (2 * k);
    if (low + h - c[k] <= reach) r.sides |= 2 << (2 * k);
  }
  return r;
}

// Calls f(cell) for the home cell first, then for the other cells reached.
template <typename F>
void ForEachCell(const Reach& r, F&& f) {
  int64_t offsets[3][3];
  int counts[3];
  for (int k = 0; k < 3; ++k) {
    counts[k] = 0;
    offsets[k][counts[k]++] = 0;
    if (r.sides & (1 << (2 * k))) offsets[k][counts[k]++] = -1;
    if (r.sides & (2 << (2 * k))) offsets[k][counts[k]++] = 1;
  }
  for (int a = 0; a < counts[0]; ++a)
    for (int b = 0; b < counts[1]; ++b)
      for (int d = 0; d < counts[2]; ++d)
        f(Grid::Cell{r.home.x + offsets[0][a], r.home.y + offsets[1][b], r.home.z + offsets[2][d]});
}

// Two bits per hash bucket of cells: "once", a point lives in a cell of the
// bucket, and "busy", a second one does or one looks into such a cell. Two
// cells in one bucket only make more points candidates. Eight buckets per
// point keep that rare, and at two bits the table stays small enough for the
// cache (and a fresh process has few pages to map).
class CellMarks {
 public:
  static constexpr uint64_t once = 1, busy = 2;

  explicit CellMarks(size_t points) {
    size_t size = 1024;
    while (size < 8 * points) size *= 2;
    words_.assign(size / 32, 0);
    mask_ = size - 1;
  }
  uint64_t Get(uint64_t key) const {
    const size_t b = key & mask_;
    return words_[b / 32] >> (2 * (b % 32)) & 3;
  }
  void Set(uint64_t key, uint64_t bits) {
    const size_t b = key & mask_;
    words_[b / 32] |= bits << (2 * (b % 32));
  }

 private:
  std::vector<uint64_t> words_;
  size_t mask_ = 0;
};

// join[j]: the earlier point that point j joins, or j where it is kept;
// taken in index order. The points are all apart (welded at exact positions
// already, and packed, so that these passes read them in a row).
//
// Most distinct points of a mesh lie far apart against the distance. A point
// is "alone" when no other point lives in its home cell or looks into it,
// and no other point lives in the cells it looks into: then the grid search
// would find nothing for it and it for nobody, so it is kept without the
// grid. Only the other points, the candidates, go through the grid, whose
// lookups are cache misses each. The two passes that find the candidates use
// the home cells' keys, taken once, and do little else, so that the
// processor overlaps the waits for their marks.
Numbers JoinWithinDistance(const std::vector<HostVector>& points, const Bounds& bounds, double distance) {
  Numbers join(points.size());
  for (uint32_t j = 0; j < join.size(); ++j) join[j] = j;
  const double reach = distance * (1.0 + 1e-9);  // decides which cells to look in, never whether points join
  const double limit = distance * distance;
  const Grid cells(0, CellSize(bounds, distance));  // for its cell numbers only
  const auto reachOf = [&](size_t j) { return ReachOf(cells, points[j], reach); };
  std::vector<uint64_t> keys(points.size());
  std::vector<uint8_t> sides(points.size());
  for (size_t j = 0; j < points.size(); ++j) {
    const Reach r = reachOf(j);
    keys[j] = Grid::Key(r.home);
    sides[j] = r.sides;
  }
  // Calls f(key) for each cell but the home cell that point j looks into.
  const auto others = [&](size_t j, auto&& f) {
    if (sides[j] == 0) return;
    bool home = true;
    ForEachCell(reachOf(j), [&](const Grid::Cell& c) {
      if (!home) f(Grid::Key(c));
      home = false;
    });
  };
  CellMarks marks(points.size());
  for (size_t j = 0; j < points.size(); ++j) {
    marks.Set(keys[j], marks.Get(keys[j]) & CellMarks::once ? CellMarks::busy : CellMarks::once);
    others(j, [&](uint64_t key) { marks.Set(key, CellMarks::busy); });
  }
  // Two points within the distance each look into the other's cell, so the
  // "busy" mark alone would find both; the second test keeps the rule
  // one-sided, as the search is, wherever rounding at a face might differ.
  std::vector<bool> candidate(points.size());
  size_t candidates = 0;
  for (size_t j = 0; j < points.size(); ++j) {
    bool met = marks.Get(keys[j]) & CellMarks::busy;
    others(j, [&](uint64_t key) { met = met || (marks.Get(key) & CellMarks::once); });
    candidate[j] = met;
    candidates += met;
  }

  Grid grid(candidates, cells.CellSize());
  // Kept candidates by the number they were kept under, with their lists.
  std::vector<uint32_t> keptIndex;
  std::vector<int32_t> next;
  keptIndex.reserve(candidates);
  next.reserve(candidates);
  for (size_t j = 0; j < points.size(); ++j) {
    if (!candidate[j]) continue;  // kept: join[j] == j already
    const HostVector& p = points[j];
    const Reach r = reachOf(j);
    int32_t best = -1;  // kept points are numbered in index order: the lowest number is the first
    ForEachCell(r, [&](const Grid::Cell& cell) {
      for (int32_t q = grid.Head(cell); q >= 0; q = next[static_cast<size_t>(q)]) {
        if (best >= 0 && q >= best) continue;
        const HostVector& o = points[keptIndex[static_cast<size_t>(q)]];
        const double dx = o.x - p.x, dy = o.y - p.y, dz = o.z - p.z;
        if (dx * dx + dy * dy + dz * dz <= limit) best = q;
      }
    });
    if (best >= 0) {
      join[j] = keptIndex[static_cast<size_t>(best)];
    } else {
      const auto number = static_cast<int32_t>(keptIndex.size());
      keptIndex.push_back(static_cast<uint32_t>(j));
      next.push_back(grid.Push(r.home, number));
    }
  }
  return join;
}

// In index order, a kept point (rep[i] == i) gets the next new number and
// its place in `points`, and any other point the number its representative,
// an earlier point, got. Returns the number of points kept.
uint32_t Pack(std::vector<HostVector>& points, Numbers& rep) {
  uint32_t kept = 0;
  for (size_t i = 0; i < rep.size(); ++i) {
    if (rep[i] == i) {
      points[kept] = points[i];
      rep[i] = kept++;
    } else {
      rep[i] = rep[rep[i]];
    }
  }
  points.resize(kept);
  return kept;
}

}  // namespace

double RelativeWeldDistance(const std::vector<HostVector>& points, double fraction) {
  if (points.empty()) return 0.0;
  HostVector lo = points[0], hi = points[0];
  for (const HostVector& p : points) {
    lo = {std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z)};
    hi = {std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z)};
  }
  const double dx = hi.x - lo.x, dy = hi.y - lo.y, dz = hi.z - lo.z;
  return fraction * std::sqrt(dx * dx + dy * dy + dz * dz);
}

WeldResult Weld(PolygonMesh& mesh, double distance) {
  WeldResult result;
  result.distance = distance;
  result.pointsBefore = mesh.points.size();
  Bounds bounds;
  Numbers rep = FirstAtSamePosition(mesh.points, bounds);
  uint32_t kept = Pack(mesh.points, rep);
  if (distance > 0.0) {
    Numbers join = JoinWithinDistance(mesh.points, bounds, distance);
    kept = Pack(mesh.points, join);
    for (uint32_t& r : rep) r = join[r];
  }
  result.pointsAfter = kept;

  size_t out = 0;
  for (const HostPolygon& p : mesh.polygons) {
    const int n = CornerCount(p);
    const int32_t corners[4] = {p.a, p.b, p.c, p.d};
    int32_t left[4];
    int count = 0;
    for (int k = 0; k < n; ++k) {
      const auto v = static_cast<int32_t>(rep[static_cast<size_t>(corners[k])]);
      if (count == 0 || left[count - 1] != v) left[count++] = v;
    }
    if (count > 1 && left[count - 1] == left[0]) --count;  // the closing side collapsed
    const bool folded = count == 4 && (left[0] == left[2] || left[1] == left[3]);
    if (count < 3 || folded) {
      ++result.polygonsDropped;
      continue;
    }
    if (count == 3 && n == 4) ++result.quadsToTriangles;
    mesh.polygons[out++] = {left[0], left[1], left[2], count == 3 ? left[2] : left[3]};
  }
  mesh.polygons.resize(out);
  return result;
}

}  // namespace tess::assets
