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

void FaceNormals::Build(const RayObject* object) {
  Release();
  normals = NewMem(HostVector, object->polygonCount);
  if (normals == nullptr) return;
  const Int32 n = object->pointCount;
  for (Int32 p = 0; p < object->polygonCount; ++p) {
    const CPolygon& poly = object->polygons[p];
    const bool inside =
        CornerInside(poly.a, n) && CornerInside(poly.b, n) && CornerInside(poly.c, n) && CornerInside(poly.d, n);
    // A polygon with a corner outside the points has no edges in the adjacency either.
    normals[p] = inside ? FaceNormal(object->points, poly) : Vector();
  }
}

void FaceNormals::Release() {
  DeleteMem(normals);
}

void EdgeCache::Empty() {
  for (Int32 s = 0; s < cacheSlots; ++s) {
    adjacency[s].Flush();
    normals[s].Release();
    cachedObject[s] = nullptr;
  }
}

ObjectTables EdgeCache::For(Int32 threadIndex, const RayObject* object, SpareTables& spare) {
  if (threadIndex < 0 || threadIndex >= cacheSlots) {
    Rebuild(spare.adjacency, object);
    spare.normals.Build(object);
    return ObjectTables{spare.adjacency, spare.normals.Get()};
  }
  Neighbor& table = adjacency[threadIndex];
  if (table.GetEdgeCount() == 0 || cachedObject[threadIndex] == nullptr || cachedObject[threadIndex] != object) {
    Rebuild(table, object);
    normals[threadIndex].Build(object);
    cachedObject[threadIndex] = object;
  }
  return ObjectTables{table, normals[threadIndex].Get()};
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
