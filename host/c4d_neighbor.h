// The host's polygon adjacency table. The host table is made on first use, so
// that an unused table costs nothing.
#ifndef TESSALINE_HOST_C4D_NEIGHBOR_H
#define TESSALINE_HOST_C4D_NEIGHBOR_H

#include "host/c4d_render.h"
#include "host/c4d_baseobject.h"

class Neighbor {
 public:
  Neighbor() = default;
  Neighbor(const Neighbor&) = delete;
  Neighbor& operator=(const Neighbor&) = delete;
  ~Neighbor() {
    if (handle != nullptr) NeighborApi()->release(handle);
  }

  // Builds the table, first releasing whatever it held.
  bool Init(Int32 pointCount, const CPolygon* polygons, Int32 polygonCount, const BaseSelect& select) {
    const HostNeighborApi* api = NeighborApi();
    if (api == nullptr) return false;
    if (handle == nullptr) handle = api->create();
    return handle != nullptr && api->init(handle, pointCount, polygons, polygonCount, select.Handle()) != 0;
  }
  // 0 when the table is empty.
  Int32 GetEdgeCount() const { return handle != nullptr ? NeighborApi()->edgeCount(handle) : 0; }
  // The two polygons on the edge (a, b); -1 where there is none.
  void GetEdgePolys(Int32 a, Int32 b, Int32* first, Int32* second) const {
    *first = -1;
    *second = -1;
    if (handle != nullptr) NeighborApi()->edgePolys(handle, a, b, first, second);
  }
  // Empties the table.
  void Flush() {
    if (handle != nullptr) NeighborApi()->flush(handle);
  }

 private:
  HostNeighbor* handle = nullptr;
};

#endif
