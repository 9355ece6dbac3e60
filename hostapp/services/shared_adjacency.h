// One adjacency table per polygon array, however many handles ask for it.
// A render's threads each hold a handle on the same object; building and
// keeping a table for each cost time and memory in proportion to the thread
// count, for the same answers.
#ifndef TESSALINE_HOSTAPP_SERVICES_SHARED_ADJACENCY_H
#define TESSALINE_HOSTAPP_SERVICES_SHARED_ADJACENCY_H

#include <cstdint>
#include <memory>

#include "hostapp/services/neighbor.h"

namespace tess::host {

struct SharedAdjacency {
  std::shared_ptr<const AdjacencyTable> table;  // null only when memory ran out
  bool complete = false;                        // the table's Build result
};

// The table for (pointCount, polygons), built on the first request and shared
// with every later request while any holder keeps it; the last holder to let
// go frees it. A table depends on nothing but the point count and the
// polygons' corner indices, so that is what must match: the array's address
// and counts find the candidate, and a comparison of the polygons with the
// copy kept beside the table makes sure they are still what it was built
// from (a test may refill an array in place, an address may be reused).
// Many threads may ask at once; the first builds and the others wait for it.
SharedAdjacency AcquireAdjacency(int32_t pointCount, const HostPolygon* polygons, int32_t polygonCount);

// While one lives, every table handed out stays built even while no handle
// holds it: threads that take turns between objects could otherwise all let go
// of one object's table at the same moment, and the next request would build
// it again. The renderer keeps one from shader preparation to release, so
// that a render builds each object's table once; the tables are freed when
// the last retention ends and their last handle lets go.
class AdjacencyRetention {
 public:
  AdjacencyRetention();
  ~AdjacencyRetention();
  AdjacencyRetention(const AdjacencyRetention&) = delete;
  AdjacencyRetention& operator=(const AdjacencyRetention&) = delete;
};

// Tables built since the program started. Requests answered by a shared
// table do not count, so a render should add one per object it shades.
uint64_t AdjacencyBuilds();

}  // namespace tess::host

#endif
