#include "hostapp/services/neighbor.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <new>

#include "hostapp/services/shared_adjacency.h"

namespace {

struct Entry {
  int32_t other;
  int32_t polygon;
};

// Calls f(u, v) for every side of p that joins two different points.
template <typename F>
inline void ForEachSide(const HostPolygon& p, F&& f) {
  const bool triangle = p.c == p.d;
  if (p.a != p.b) f(p.a, p.b);
  if (p.b != p.c) f(p.b, p.c);
  if (triangle) {
    if (p.c != p.a) f(p.c, p.a);
    return;
  }
  if (p.c != p.d) f(p.c, p.d);
  if (p.d != p.a) f(p.d, p.a);
}

inline bool Usable(const HostPolygon& p, int32_t pointCount) {
  auto in = [pointCount](int32_t i) { return i >= 0 && i < pointCount; };
  return in(p.a) && in(p.b) && in(p.c) && in(p.d);
}

// Orders one row by the larger point. Rows are short on ordinary meshes, so
// insertion sort wins; it is stable, which keeps polygons in index order. A
// long row (a fan around one point) falls back to a sort on (point, polygon),
// which gives the same order.
void SortRow(Entry* begin, Entry* end) {
  if (end - begin <= 16) {
    for (Entry* i = begin + 1; i < end; ++i) {
      const Entry e = *i;
      Entry* j = i;
      while (j > begin && (j - 1)->other > e.other) {
        *j = *(j - 1);
        --j;
      }
      *j = e;
    }
    return;
  }
  std::sort(begin, end, [](const Entry& x, const Entry& y) {
    return x.other != y.other ? x.other < y.other : x.polygon < y.polygon;
  });
}

void AnswerNone(int32_t* first, int32_t* second) {
  if (first != nullptr) *first = -1;
  if (second != nullptr) *second = -1;
}

}  // namespace

bool AdjacencyTable::Build(int32_t pointCount, const HostPolygon* polygons, int32_t polygonCount) {
  if (pointCount < 0 || polygonCount < 0) return false;
  if (polygonCount > 0 && polygons == nullptr) return false;
  if (polygonCount == 0) return true;

  try {
    bool skipped = false;
    int32_t maxPoint = -1;
    for (int32_t i = 0; i < polygonCount; ++i) {
      const HostPolygon& p = polygons[i];
      if (!Usable(p, pointCount)) {
        skipped = true;
        continue;
      }
      maxPoint = std::max({maxPoint, p.a, p.b, p.c, p.d});
    }
    if (maxPoint < 0) return false;

    // Counting sort of the sides into rows keyed by their smaller point. The
    // rows are offset by two so that the fill pass below leaves
    // edgeStart[k] .. edgeStart[k + 1] as the bounds of row k.
    const int64_t rows = int64_t{maxPoint} + 1;
    edgeStart.assign(static_cast<size_t>(rows + 2), 0);
    for (int32_t i = 0; i < polygonCount; ++i) {
      if (!Usable(polygons[i], pointCount)) continue;
      ForEachSide(polygons[i], [this](int32_t u, int32_t v) { ++edgeStart[static_cast<size_t>(std::min(u, v)) + 2]; });
    }
    for (int64_t k = 2; k <= rows + 1; ++k) edgeStart[static_cast<size_t>(k)] += edgeStart[static_cast<size_t>(k - 1)];
    const int64_t sideCount = edgeStart[static_cast<size_t>(rows + 1)];

    // Left uninitialised on purpose: every slot is written by the fill pass.
    std::unique_ptr<Entry[]> entries(new Entry[static_cast<size_t>(sideCount)]);
    for (int32_t i = 0; i < polygonCount; ++i) {
      if (!Usable(polygons[i], pointCount)) continue;
      ForEachSide(polygons[i], [&, i](int32_t u, int32_t v) {
        const int32_t lo = std::min(u, v);
        entries[static_cast<size_t>(edgeStart[static_cast<size_t>(lo) + 1]++)] = Entry{std::max(u, v), i};
      });
    }

    // Merge the sides of each row into edges, rewriting edgeStart from row
    // bounds into edge bounds as we go.
    edges.reserve(static_cast<size_t>(sideCount));
    int64_t begin = 0;
    for (int64_t k = 0; k < rows; ++k) {
      const int64_t end = edgeStart[static_cast<size_t>(k + 1)];
      edgeStart[static_cast<size_t>(k)] = static_cast<int64_t>(edges.size());
      Entry* first = entries.get() + begin;
      Entry* last = entries.get() + end;
      SortRow(first, last);
      for (Entry* e = first; e < last; ++e) {
        if (e == first || (e - 1)->other != e->other) {
          edges.push_back(Edge{e->other, e->polygon, -1});
        } else {
          Edge& edge = edges.back();
          if (edge.second < 0 && edge.first != e->polygon) edge.second = e->polygon;
        }
      }
      begin = end;
    }
    edgeStart[static_cast<size_t>(rows)] = static_cast<int64_t>(edges.size());
    edgeStart.resize(static_cast<size_t>(rows + 1));
    return !skipped;
  } catch (const std::bad_alloc&) {
    Clear();
    return false;
  }
}

void AdjacencyTable::Clear() {
  std::vector<int64_t>().swap(edgeStart);
  std::vector<Edge>().swap(edges);
}

int32_t AdjacencyTable::EdgeCount() const {
  return static_cast<int32_t>(std::min<size_t>(edges.size(), std::numeric_limits<int32_t>::max()));
}

void AdjacencyTable::EdgePolys(int32_t a, int32_t b, int32_t* first, int32_t* second) const {
  int32_t f = -1;
  int32_t s = -1;
  const int32_t lo = std::min(a, b);
  const int32_t hi = std::max(a, b);
  if (lo >= 0 && static_cast<size_t>(hi) + 1 < edgeStart.size()) {
    const Edge* e = edges.data() + edgeStart[static_cast<size_t>(lo)];
    const Edge* end = edges.data() + edgeStart[static_cast<size_t>(lo) + 1];
    for (; e < end && e->other <= hi; ++e) {
      if (e->other == hi) {
        f = e->first;
        s = e->second;
        break;
      }
    }
  }
  if (first != nullptr) *first = f;
  if (second != nullptr) *second = s;
}

bool HostNeighbor::Build(int32_t pointCount, const HostPolygon* polygons, int32_t polygonCount) {
  // Input that builds no table at all is not worth a look in the shared ones.
  const bool valid = pointCount >= 0 && polygonCount >= 0 && (polygonCount == 0 || polygons != nullptr);
  if (!valid || polygonCount == 0) {
    table.reset();
    return valid;
  }
  // Acquired while the old table is still held, so that a handle built again
  // from the same polygons finds its own table instead of freeing it first.
  tess::host::SharedAdjacency shared = tess::host::AcquireAdjacency(pointCount, polygons, polygonCount);
  table = std::move(shared.table);
  return shared.complete;
}

void HostNeighbor::EdgePolys(int32_t a, int32_t b, int32_t* first, int32_t* second) const {
  if (table != nullptr)
    table->EdgePolys(a, b, first, second);
  else
    AnswerNone(first, second);
}

namespace tess::host {

const HostNeighborApi* NeighborTable() {
  static const HostNeighborApi table{
      []() -> HostNeighbor* { return new (std::nothrow) HostNeighbor; },
      [](HostNeighbor* n, int32_t pointCount, const HostPolygon* polygons, int32_t polygonCount, const HostSelect*) {
        // The selection is accepted for the contract's sake; every polygon
        // takes part in the adjacency.
        return static_cast<HostBool>(n != nullptr && n->Build(pointCount, polygons, polygonCount));
      },
      [](const HostNeighbor* n) { return n != nullptr ? n->EdgeCount() : 0; },
      [](const HostNeighbor* n, int32_t a, int32_t b, int32_t* first, int32_t* second) {
        if (n != nullptr)
          n->EdgePolys(a, b, first, second);
        else
          AnswerNone(first, second);
      },
      [](HostNeighbor* n) {
        if (n != nullptr) n->Clear();
      },
      [](HostNeighbor* n) { delete n; },
  };
  return &table;
}

}  // namespace tess::host
