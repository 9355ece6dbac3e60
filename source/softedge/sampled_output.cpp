// Soft Edge's ray sampling method: rays around the shaded point find the
// faces nearby, and the normal leans towards the average of their normals.
#include "host/c4d_memory.h"
#include "source/softedge/softedge.h"

namespace {

// One ray's record. Plain host vectors, so the array can live in host memory
// without construction.
struct HitSample {
  HostVector origin;
  HostVector direction;
  HostVector hitNormal;
  Float distance;
  RayHitID hitId;
};

// Every ray of a sample starts at the same origin; only its direction changes.
Ray RayFrom(const Vector& origin) {
  Ray ray{};
  ray.origin = origin;
  ray.factor = 1.0;
  for (HostVector& o : ray.origins) o = origin;
  ray.weight = Vector(1.0);
  return ray;
}

void Aim(Ray& ray, const Vector& direction) {
  ray.direction = direction;
  for (HostVector& d : ray.directions) d = direction;
}

}  // namespace

Vector SoftEdge::SampledOutput(ChannelData* cd) {
  const VolumeData* vd = cd->vd;
  const Vector p = vd->point;
  const Vector n = vd->normal;
  const Vector g = vd->secondNormal;
  const Vector d = vd->ray != nullptr ? Vector(vd->ray->direction) : Vector();
  if (sampleCount == 1 || radius <= 0.0) return edges::EncodeNormal(n);

  // A thread index outside the slots must not index them: such a sample gets
  // a pattern of its own, seeded as its slot would be.
  const Int32 thread = GetRenderThreadIndex(vd);
  const bool hasSlot = thread >= 0 && thread < edges::cacheSlots;
  Sampler own;
  if (!hasSlot)
    own = Sampler(sampleCount, static_cast<std::uint32_t>(666u * static_cast<std::uint32_t>(thread)),
                  SAMPLER_MULTIJITTERED);
  Sampler& sampler = hasSlot ? samplers[thread] : own;
  sampler.Generate();
  sampler.MapToSphere();

  // No records (no samples, or more than memory allows): nothing is traced.
  HitSample* records = NewMem(HitSample, sampleCount);
  if (records == nullptr) return edges::EncodeNormal(edges::Normalize(n));

  const Float invR = 1.0 / radius;
  const RayObject* ownObject = GetHitObject(vd, vd->hitId);
  Ray ray = RayFrom(p + d * 0.001);
  const RayHitID none{0, 0};
  for (Int32 i = 0; i < sampleCount; ++i) {
    Vector dir = sampler.GetSphereSample(i);
    const Float side = edges::Dot(dir, g);
    if ((edgeType == SOFTEDGE_EDGE_TYPE_CONVEX && side > 0.0) || (edgeType == SOFTEDGE_EDGE_TYPE_CONCAVE && side < 0.0))
      dir = -dir;
    records[i].hitId = none;
    SurfaceIntersection hit{};
    Aim(ray, dir);
    if (!TraceGeometry(vd, ray, radius, none, &hit)) continue;
    // The angle is the arc cosine of the plain dot product, clamped where
    // rounding pushes it past ±1.
    if (!angles.ContainsCosine(edges::Dot(hit.normal, n))) continue;
    records[i].origin = p;
    records[i].direction = dir;
    records[i].hitNormal = hit.normal;
    records[i].distance = edges::Length(Vector(hit.point) - p);
    records[i].hitId = hit.hitId;
  }

  Float sum = 0.0;
  Vector acc;
  Int32 k = 0;
  for (Int32 i = 0; i < sampleCount; ++i) {
    const HitSample& r = records[i];
    if (r.hitId.id == 0) continue;
    // A hit with the shaded point's own object id is on its own object; only
    // the others need the host to name their object.
    if (sameObject && r.hitId.id != vd->hitId.id && GetHitObject(vd, r.hitId) != ownObject) continue;
    ++k;
    sum += 1.0 - r.distance * invR;
    acc += r.hitNormal;
  }
  Float blend = 0.0;
  if (k > 0) {
    blend = sum * (1.0 / k) * 0.5;
    acc = acc * (1.0 / k);
  }
  DeleteMem(records);

  return edges::EncodeNormal(edges::Normalize(n + (acc - n) * blend));
}
