// The walk over the hit polygon's sides that both edge shaders take: which
// hits can be evaluated, the per-thread adjacency cache and the lookup of the
// edge selection.
#ifndef TESSALINE_SOURCE_EDGES_EDGE_WALK_H
#define TESSALINE_SOURCE_EDGES_EDGE_WALK_H

#include <atomic>
#include <mutex>

#include "host/c4d_baseobject.h"
#include "host/c4d_neighbor.h"
#include "host/c4d_render.h"
#include "source/edges/edge_math.h"

namespace edges {

constexpr Int32 cacheSlots = 256;

// A hit that passed every test: its object and polygon, with the polygon's
// corners known to lie inside the object's points.
struct Hit {
  const VolumeData* vd = nullptr;
  const RayObject* object = nullptr;
  Int32 polygon = 0;
  CPolygon corners{};
};

// The tests a sample must pass before its polygon is looked at, in this
// order: hit record, hit object, hit context, polygons, polygon hit. A polygon
// index or corner outside the object fails too, so nothing reads past its arrays.
bool FindHit(const ChannelData* cd, Hit* hit);

// The face normals of the objects a render hits: every acting edge needs the
// normals of the polygons on both its sides, and the same polygons come up
// sample after sample. One copy per object serves every render thread: the
// first thread to need an object's normals builds them under a lock, and
// publishes them so that every later lookup reads without one.
class SharedFaceNormals {
 public:
  SharedFaceNormals() = default;
  SharedFaceNormals(const SharedFaceNormals&) = delete;
  SharedFaceNormals& operator=(const SharedFaceNormals&) = delete;
  ~SharedFaceNormals() { Release(); }

  // The object's normals, built on its first request. Null past the first
  // `capacity` objects of a render or without memory for them: the normals
  // are then computed as needed, to the same values.
  const HostVector* For(const RayObject* object);
  // Frees every object's normals; only while no sample is evaluated.
  void Release();

  // Bounds both the memory and the lookup, which scans the objects in order.
  static constexpr Int32 capacity = 64;

 private:
  struct Entry {
    const RayObject* object;
    HostVector* normals;
  };
  // The slots below `published` are complete and never written again until
  // Release; the building thread fills the next one before it moves the mark.
  const Entry* Find(const RayObject* object, Int32 count) const;

  Entry entries[capacity] = {};
  std::atomic<Int32> published{0};
  std::mutex building;
};

// What a sample's edges are evaluated with: the adjacency and, when there are
// any, the face normals of the hit object.
struct ObjectTables {
  const Neighbor& adjacency;
  const HostVector* faceNormals;
};

// An adjacency table built for one sample alone.
struct SpareTables {
  Neighbor adjacency;
};

// Each shader instance's adjacency tables, one per render thread, so that the
// per-sample path takes no lock, and the face normals all threads share.
struct EdgeCache {
  const RayObject* cachedObject[cacheSlots] = {};
  Neighbor adjacency[cacheSlots];
  const HostVector* slotNormals[cacheSlots] = {};
  SharedFaceNormals normals;

  // Releases every table; done at render preparation and teardown.
  void Empty();
  // The calling thread's tables, rebuilt when they last served another
  // object. A thread index outside the slots must never index them: that
  // sample gets `spare`, an adjacency built for it alone, which is slow but correct.
  ObjectTables For(Int32 threadIndex, const RayObject* object, SpareTables& spare);
};

// The selection of the first edge-selection tag named "tessaline" among the
// source object's first 50; none when not in use or not found.
BaseSelect FindEdgeSelection(const RayObject* object, bool useSelection);

// Calls visit(first corner, second corner, side) for every side of the polygon, in side order.
template <typename Visit>
void WalkSides(const CPolygon& poly, Visit&& visit) {
  const int sides = SideCount(poly);
  for (int side = 0; side < sides; ++side) {
    Int32 first = 0, second = 0;
    SideCorners(poly, side, &first, &second);
    visit(first, second, side);
  }
}

}  // namespace edges

#endif
