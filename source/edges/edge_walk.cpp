#include "source/edges/edge_walk.h"

#include "host/c4d_memory.h"

namespace edges {
namespace {

constexpr Int32 maxSelectionTags = 50;

bool CornerInside(Int32 index, Int32 pointCount) {
  return index >= 0 && index < pointCount;
}

void Rebuild(Neighbor& table, const RayObject* object) {
  // A failed build leaves the table empty: the walk then finds no neighbours.
  table.Init(object->pointCount, object->polygons, object->polygonCount, BaseSelect());
}

// Without memory for them there are none, and the normals are computed as needed.
HostVector* BuildFaceNormals(const RayObject* object) {
  HostVector* normals = NewMem(HostVector, object->polygonCount);
  if (normals == nullptr) return nullptr;
  const Int32 n = object->pointCount;
  for (Int32 p = 0; p < object->polygonCount; ++p) {
    const CPolygon& poly = object->polygons[p];
    const bool inside =
        CornerInside(poly.a, n) && CornerInside(poly.b, n) && CornerInside(poly.c, n) && CornerInside(poly.d, n);
    // A polygon with a corner outside the points has no edges in the adjacency either.
    normals[p] = inside ? FaceNormal(object->points, poly) : Vector();
  }
  return normals;
}

}  // namespace

bool FindHit(const ChannelData* cd, Hit* hit) {
  const VolumeData* vd = cd != nullptr ? cd->vd : nullptr;
  if (vd == nullptr || vd->object == nullptr || vd->context == nullptr) return false;
  const RayObject* object = vd->object;
  if (object->polygonCount == 0 || vd->hitId.id == 0) return false;
  const Int32 polygon = vd->hitId.polygon;
  if (object->polygons == nullptr || object->points == nullptr || polygon < 0 || polygon >= object->polygonCount)
    return false;
  const CPolygon& poly = object->polygons[polygon];
  const Int32 n = object->pointCount;
  if (!CornerInside(poly.a, n) || !CornerInside(poly.b, n) || !CornerInside(poly.c, n) || !CornerInside(poly.d, n))
    return false;
  hit->vd = vd;
  hit->object = object;
  hit->polygon = polygon;
  hit->corners = poly;
  return true;
}

const SharedFaceNormals::Entry* SharedFaceNormals::Find(const RayObject* object, Int32 count) const {
  for (Int32 i = 0; i < count; ++i)
    if (entries[i].object == object) return &entries[i];
  return nullptr;
}

const HostVector* SharedFaceNormals::For(const RayObject* object) {
  const Int32 seen = published.load(std::memory_order_acquire);
  if (const Entry* e = Find(object, seen)) return e->normals;
  if (seen == capacity) return nullptr;  // full until the render ends: no lock to wait for
  const std::lock_guard<std::mutex> hold(building);
  const Int32 count = published.load(std::memory_order_relaxed);
  if (const Entry* e = Find(object, count)) return e->normals;  // built while this thread waited
  if (count == capacity) return nullptr;
  entries[count] = Entry{object, BuildFaceNormals(object)};
  published.store(count + 1, std::memory_order_release);
  return entries[count].normals;
}

void SharedFaceNormals::Release() {
  const Int32 count = published.load(std::memory_order_relaxed);
  for (Int32 i = 0; i < count; ++i) DeleteMem(entries[i].normals);
  published.store(0, std::memory_order_relaxed);
}

void EdgeCache::Empty() {
  for (Int32 s = 0; s < cacheSlots; ++s) {
    adjacency[s].Flush();
    slotNormals[s] = nullptr;
    cachedObject[s] = nullptr;
  }
  normals.Release();
}

ObjectTables EdgeCache::For(Int32 threadIndex, const RayObject* object, SpareTables& spare) {
  if (threadIndex < 0 || threadIndex >= cacheSlots) {
    Rebuild(spare.adjacency, object);
    return ObjectTables{spare.adjacency, normals.For(object)};
  }
  Neighbor& table = adjacency[threadIndex];
  if (table.GetEdgeCount() == 0 || cachedObject[threadIndex] == nullptr || cachedObject[threadIndex] != object) {
    Rebuild(table, object);
    slotNormals[threadIndex] = normals.For(object);
    cachedObject[threadIndex] = object;
  }
  return ObjectTables{table, slotNormals[threadIndex]};
}

BaseSelect FindEdgeSelection(const RayObject* object, bool useSelection) {
  if (!useSelection || object->source == nullptr) return BaseSelect();
  const BaseObject source(object->source);
  const String wanted("tessaline");
  for (Int32 n = 0; n < maxSelectionTags; ++n) {
    const BaseTag tag = source.GetTag(Tedgeselection, n);
    if (!tag.IsValid()) break;  // tags of a type are counted without gaps
    if (tag.GetName().Compare(wanted) == 0) return tag.GetBaseSelect();
  }
  return BaseSelect();
}

}  // namespace edges
