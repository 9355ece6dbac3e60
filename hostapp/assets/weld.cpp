#include "hostapp/assets/weld.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace tess::assets {
namespace {

uint64_t Bits(double v) {
  if (v == 0.0) v = 0.0;  // -0 and +0 are one position
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

struct Keyed {
  uint32_t key;
  uint32_t index;
};

// Stable LSD radix sort on the 32-bit keys (three passes of 11 bits): equal
// keys keep their index order. Cache-friendly where a hash table over all
// points would miss the cache at every insertion.
void SortByKey(std::vector<Keyed>& items) {
  std::vector<Keyed> buffer(items.size());
  constexpr int digitBits = 11;
  constexpr uint32_t digits = 1u << digitBits;
  for (int shift = 0; shift < 32; shift += digitBits) {
    std::array<size_t, digits + 1> start{};
    for (const Keyed& item : items) ++start[((item.key >> shift) & (digits - 1)) + 1];
    for (uint32_t d = 0; d < digits; ++d) start[d + 1] += start[d];
    for (const Keyed& item : items) buffer[start[(item.key >> shift) & (digits - 1)]++] = item;
    items.swap(buffer);
  }
}

// first[i]: the lowest index whose point lies at exactly the position of i.
std::vector<uint32_t> FirstAtSamePosition(const std::vector<HostVector>& points) {
  const size_t n = points.size();
  std::vector<Keyed> keyed(n);
  for (size_t i = 0; i < n; ++i) {
    const HostVector& p = points[i];
    const uint64_t h = Mix(Bits(p.x) ^ Mix(Bits(p.y) ^ Mix(Bits(p.z) + 0x9e3779b97f4a7c15ull)));
    keyed[i] = {static_cast<uint32_t>(h >> 32), static_cast<uint32_t>(i)};
  }
  SortByKey(keyed);
  std::vector<uint32_t> first(n);
  std::vector<uint32_t> distinct;  // first indices of the positions in one run of equal keys
  for (size_t begin = 0; begin < n;) {
    size_t end = begin + 1;
    while (end < n && keyed[end].key == keyed[begin].key) ++end;
    distinct.clear();
    // Indices rise within the run, so the first one met at a position is its lowest.
    for (size_t k = begin; k < end; ++k) {
      const uint32_t i = keyed[k].index;
      uint32_t found = i;
      for (const uint32_t d : distinct)
        if (Same(points[d], points[i])) {
          found = d;
          break;
        }
      if (found == i) distinct.push_back(i);
      first[i] = found;
    }
    begin = end;
  }
  return first;
}

// A hash grid of kept points: open addressing over cells, each cell the head
// of a list of the points kept in it.
class Grid {
 public:
  Grid(size_t expected, double cell) : cell_(cell) {
    size_t size = 16;
    while (size < 2 * expected) size *= 2;
    slots_.assign(size, Slot{});
    mask_ = size - 1;
  }

  struct Cell {
    int64_t x, y, z;
  };

  Cell CellOf(const HostVector& p) const {
    return {static_cast<int64_t>(std::floor(p.x / cell_)), static_cast<int64_t>(std::floor(p.y / cell_)),
            static_cast<int64_t>(std::floor(p.z / cell_))};
  }

  // Head of the cell's list, -1 when empty.
  int64_t Head(const Cell& c) const {
    for (size_t s = Hash(c) & mask_;; s = (s + 1) & mask_) {
      const Slot& slot = slots_[s];
      if (slot.head < 0) return -1;
      if (slot.x == c.x && slot.y == c.y && slot.z == c.z) return slot.head;
    }
  }

  // Makes `point` the cell's head; returns the previous head (-1 if none).
  int64_t Push(const Cell& c, int64_t point) {
    for (size_t s = Hash(c) & mask_;; s = (s + 1) & mask_) {
      Slot& slot = slots_[s];
      if (slot.head < 0) {
        slot = Slot{c.x, c.y, c.z, point};
        return -1;
      }
      if (slot.x == c.x && slot.y == c.y && slot.z == c.z) {
        const int64_t previous = slot.head;
        slot.head = point;
        return previous;
      }
    }
  }

  double CellSize() const { return cell_; }

 private:
  struct Slot {
    int64_t x = 0, y = 0, z = 0;
    int64_t head = -1;
  };
  static size_t Hash(const Cell& c) {
    return static_cast<size_t>(Mix(static_cast<uint64_t>(c.x) * 0x9e3779b97f4a7c15ull ^
                                   Mix(static_cast<uint64_t>(c.y) ^ Mix(static_cast<uint64_t>(c.z)))));
  }

  double cell_;
  size_t mask_ = 0;
  std::vector<Slot> slots_;
};

// Cells at least twice the distance, so that a point's neighbourhood reaches
// into at most one more cell per axis, and most points (those farther than
// the distance from every face of their cell) need their own cell only. Up to
// 64 times the distance where the points are sparse enough; and large enough
// that cell numbers stay far inside 64 bits.
double CellSize(const std::vector<HostVector>& points, const std::vector<uint32_t>& kept, double distance) {
  double lo[3] = {std::numeric_limits<double>::max(), std::numeric_limits<double>::max(),
                  std::numeric_limits<double>::max()};
  double hi[3] = {-lo[0], -lo[1], -lo[2]};
  double largest = 0.0;
  for (const uint32_t i : kept) {
    const double c[3] = {points[i].x, points[i].y, points[i].z};
    for (int k = 0; k < 3; ++k) {
      lo[k] = std::min(lo[k], c[k]);
      hi[k] = std::max(hi[k], c[k]);
      largest = std::max(largest, std::fabs(c[k]));
    }
  }
  const double diagonal = std::sqrt((hi[0] - lo[0]) * (hi[0] - lo[0]) + (hi[1] - lo[1]) * (hi[1] - lo[1]) +
                                    (hi[2] - lo[2]) * (hi[2] - lo[2]));
  const double spacing = diagonal / std::sqrt(static_cast<double>(std::max<size_t>(kept.size(), 1)));
  double cell = std::clamp(spacing / 4.0, 2.0 * distance, 64.0 * distance);
  return std::max(cell, largest / 1e15);
}

// rep[i]: the kept point that point i joins, for points that are the first at
// their position (first[i] == i); taken in index order.
void JoinWithinDistance(const std::vector<HostVector>& points, const std::vector<uint32_t>& first, double distance,
                        std::vector<uint32_t>& rep) {
  std::vector<uint32_t> distinct;
  for (uint32_t i = 0; i < first.size(); ++i)
    if (first[i] == i) distinct.push_back(i);
  Grid grid(distinct.size(), CellSize(points, distinct, distance));
  std::vector<int64_t> next(points.size(), -1);
  const double reach = distance * (1.0 + 1e-9);  // decides which cells to look in, never whether points join
  const double limit = distance * distance;
  const double h = grid.CellSize();
  for (const uint32_t i : distinct) {
    const HostVector& p = points[i];
    const Grid::Cell home = grid.CellOf(p);
    const double c[3] = {p.x, p.y, p.z};
    const int64_t homes[3] = {home.x, home.y, home.z};
    // Per axis the cell offsets the neighbourhood reaches: 0, and -1 or +1
    // near a face of the cell.
    std::array<std::array<int64_t, 3>, 3> offsets{};
    int counts[3] = {};
    for (int k = 0; k < 3; ++k) {
      const double low = static_cast<double>(homes[k]) * h;
      offsets[k][counts[k]++] = 0;
      if (c[k] - low <= reach) offsets[k][counts[k]++] = -1;
      if (low + h - c[k] <= reach) offsets[k][counts[k]++] = 1;
    }
    int64_t best = -1;
    for (int a = 0; a < counts[0]; ++a)
      for (int b = 0; b < counts[1]; ++b)
        for (int d = 0; d < counts[2]; ++d) {
          const Grid::Cell cell{home.x + offsets[0][a], home.y + offsets[1][b], home.z + offsets[2][d]};
          for (int64_t q = grid.Head(cell); q >= 0; q = next[q]) {
            if (best >= 0 && q >= best) continue;
            const HostVector& o = points[q];
            const double dx = o.x - p.x, dy = o.y - p.y, dz = o.z - p.z;
            if (dx * dx + dy * dy + dz * dz <= limit) best = q;
          }
        }
    if (best >= 0) {
      rep[i] = static_cast<uint32_t>(best);
    } else {
      rep[i] = i;
      next[i] = grid.Push(home, i);
    }
  }
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
  std::vector<uint32_t> rep = FirstAtSamePosition(mesh.points);
  if (distance > 0.0) JoinWithinDistance(mesh.points, std::vector<uint32_t>(rep), distance, rep);
  // Points at one position join whatever the first of them joined.
  for (size_t i = 0; i < rep.size(); ++i) rep[i] = rep[rep[i]];

  std::vector<int32_t> renumber(mesh.points.size(), -1);
  size_t kept = 0;
  for (size_t i = 0; i < mesh.points.size(); ++i)
    if (rep[i] == i) {
      renumber[i] = static_cast<int32_t>(kept);
      mesh.points[kept++] = mesh.points[i];
    }
  mesh.points.resize(kept);
  result.pointsAfter = kept;

  size_t out = 0;
  for (const HostPolygon& p : mesh.polygons) {
    const int n = CornerCount(p);
    const int32_t corners[4] = {p.a, p.b, p.c, p.d};
    int32_t left[4];
    int count = 0;
    for (int k = 0; k < n; ++k) {
      const int32_t v = renumber[rep[static_cast<size_t>(corners[k])]];
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
