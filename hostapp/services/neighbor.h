// Polygon adjacency: which polygons lie on either side of an edge.
#ifndef TESSALINE_HOSTAPP_SERVICES_NEIGHBOR_H
#define TESSALINE_HOSTAPP_SERVICES_NEIGHBOR_H

#include <cstdint>
#include <memory>
#include <vector>

#include "host/c4d_host.h"

// An adjacency table over the undirected edges of one polygon array. Edges are
// grouped by their smaller point index (a compressed row per point), so a
// lookup scans only the few edges that start at one point.
//
// Rules the table keeps, so that every caller sees the same answers:
// - a triangle (c == d) has the sides a-b, b-c, c-a; a quadrangle four sides;
// - a side whose two corners are the same point is no edge and is left out;
// - a polygon with a corner outside [0, pointCount) is left out entirely, and
//   Build reports false, but the table still holds the edges of the others;
// - an edge used by more than two polygons reports the two lowest polygon
//   indices; a polygon that names the same edge twice counts once.
// Once built the table is only read, by any number of threads at once.
class AdjacencyTable {
 public:
  // Fills an empty table. False on bad input (negative counts, a null array
  // with polygons, skipped polygons) or when memory runs out; the table is
  // empty after a failure except in the skipped-polygon case.
  bool Build(int32_t pointCount, const HostPolygon* polygons, int32_t polygonCount);
  void Clear();

  int32_t EdgeCount() const;
  // The polygons on either side of the edge {a, b}; -1 where there is none.
  void EdgePolys(int32_t a, int32_t b, int32_t* first, int32_t* second) const;

 private:
  struct Edge {
    int32_t other;  // the larger point index
    int32_t first;
    int32_t second;
  };
  // edgeStart[p] .. edgeStart[p + 1]: the edges whose smaller point is p,
  // sorted by their larger point. Sized by the largest point used, not by the
  // point count the caller claims.
  std::vector<int64_t> edgeStart;
  std::vector<Edge> edges;
};

// The handle a module holds. Handles built from equal polygon arrays share
// one table (see shared_adjacency.h), so a render's threads hold one table
// per object between them instead of one each.
struct HostNeighbor {
  // Replaces the handle's table; the result is the table's Build result.
  bool Build(int32_t pointCount, const HostPolygon* polygons, int32_t polygonCount);
  // Lets go of the table; the last handle to let go frees it.
  void Clear() { table.reset(); }

  int32_t EdgeCount() const { return table != nullptr ? table->EdgeCount() : 0; }
  void EdgePolys(int32_t a, int32_t b, int32_t* first, int32_t* second) const;

 private:
  std::shared_ptr<const AdjacencyTable> table;
};

namespace tess::host {

const HostNeighborApi* NeighborTable();

}  // namespace tess::host

#endif
