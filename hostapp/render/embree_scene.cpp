#include "hostapp/render/embree_scene.h"

#include <cmath>
#include <limits>

#include "hostapp/render/out_of_memory.h"
#include "hostapp/render/traced_quad.h"

namespace tess::render {
namespace {

// The skip identifier travels with the context: Embree hands the filter the
// context pointer, and the context is this struct's first member.
struct SkipContext {
  RTCIntersectContext context;
  unsigned geomID;
  unsigned primID;
};

// Embree may call a filter more than once for the same hit; it only reads.
void SkipFilter(const RTCFilterFunctionNArguments* args) {
  const auto* skip = reinterpret_cast<const SkipContext*>(args->context);
  for (unsigned i = 0; i < args->N; ++i) {
    if (args->valid[i] != -1) continue;
    if (RTCHitN_geomID(args->hit, args->N, i) == skip->geomID && RTCHitN_primID(args->hit, args->N, i) == skip->primID)
      args->valid[i] = 0;
  }
}

// Embree only takes rays whose coordinates stay well inside single precision
// (it asserts on anything past about 1.8e18); a point the user placed farther
// out, a direction that is not finite or is zero, or a distance that is not
// positive, is a ray that hits nothing.
constexpr double maxRayCoordinate = 1e18;

bool InTracerRange(const HostVector& v) {
  return std::fabs(v.x) <= maxRayCoordinate && std::fabs(v.y) <= maxRayCoordinate && std::fabs(v.z) <= maxRayCoordinate;
}

// Fills the ray, or returns false when Embree cannot take it.
bool SetRay(RTCRay& ray, const HostVector& origin, const HostVector& direction, double tfar) {
  const bool noDirection = direction.x == 0.0 && direction.y == 0.0 && direction.z == 0.0;
  if (!InTracerRange(origin) || !InTracerRange(direction) || noDirection || !(tfar > rayEpsilon)) return false;
  ray.org_x = static_cast<float>(origin.x);
  ray.org_y = static_cast<float>(origin.y);
  ray.org_z = static_cast<float>(origin.z);
  ray.dir_x = static_cast<float>(direction.x);
  ray.dir_y = static_cast<float>(direction.y);
  ray.dir_z = static_cast<float>(direction.z);
  ray.tnear = static_cast<float>(rayEpsilon);
  ray.tfar =
      tfar < std::numeric_limits<float>::max() ? static_cast<float>(tfar) : std::numeric_limits<float>::infinity();
  ray.mask = 0xFFFFFFFFu;  // masks are compiled in: 0 would hit nothing
  ray.time = 0.0f;
  ray.flags = 0;
  ray.id = 0;
  return true;
}

}  // namespace

void EmbreeScene::OnError(void* self, RTCError code, const char* message) {
  auto* s = static_cast<EmbreeScene*>(self);
  std::lock_guard<std::mutex> lock(s->errorLock);
  if (s->error.empty())
    s->error = "Embree error " + std::to_string(static_cast<int>(code)) + ": " + (message != nullptr ? message : "");
}

EmbreeScene::~EmbreeScene() {
  if (scene != nullptr) rtcReleaseScene(scene);
  if (device != nullptr) rtcReleaseDevice(device);
}

bool EmbreeScene::Build(const std::vector<RenderObject>& objects) {
  device = rtcNewDevice(nullptr);
  if (device == nullptr) {
    error = "Embree: cannot create a device";
    return false;
  }
  rtcSetDeviceErrorFunction(device, &EmbreeScene::OnError, this);
  scene = rtcNewScene(device);
  if (scene == nullptr) return false;
  rtcSetSceneFlags(scene, RTC_SCENE_FLAG_ROBUST | RTC_SCENE_FLAG_CONTEXT_FILTER_FUNCTION);
  rtcSetSceneBuildQuality(scene, RTC_BUILD_QUALITY_MEDIUM);
  for (unsigned id = 0; id < objects.size(); ++id) {
    const HostRayObject& o = objects[id].ray;
    if (o.polygonCount == 0 || o.pointCount == 0) continue;  // nothing to hit; its id stays free
    RTCGeometry geometry = rtcNewGeometry(device, RTC_GEOMETRY_TYPE_QUAD);
    if (geometry == nullptr) return false;
    auto* vertices = static_cast<float*>(rtcSetNewGeometryBuffer(geometry, RTC_BUFFER_TYPE_VERTEX, 0, RTC_FORMAT_FLOAT3,
                                                                 3 * sizeof(float), static_cast<size_t>(o.pointCount)));
    auto* quads =
        static_cast<unsigned*>(rtcSetNewGeometryBuffer(geometry, RTC_BUFFER_TYPE_INDEX, 0, RTC_FORMAT_UINT4,
                                                       4 * sizeof(unsigned), static_cast<size_t>(o.polygonCount)));
    if (vertices == nullptr || quads == nullptr) {
      const uint64_t bytes = 12 * uint64_t(o.pointCount) + 16 * uint64_t(o.polygonCount);
      const std::lock_guard<std::mutex> lock(errorLock);
      error = NotEnoughMemory("the ray tracer's copy of object " + std::to_string(id) + " (" +
                                  std::to_string(o.polygonCount) + " polygons)",
                              bytes);
      rtcReleaseGeometry(geometry);
      return false;
    }
    for (int32_t i = 0; i < o.pointCount; ++i) {
      float* v = vertices + 3 * static_cast<size_t>(i);
      v[0] = static_cast<float>(o.points[i].x);
      v[1] = static_cast<float>(o.points[i].y);
      v[2] = static_cast<float>(o.points[i].z);
    }
    // A triangle's d equals its c, which is exactly Embree's v3 == v2. The
    // primitive id stays the polygon's index, turned or not.
    for (int32_t j = 0; j < o.polygonCount; ++j) {
      const HostPolygon p = TracedPolygon(objects[id], j);
      unsigned* q = quads + 4 * static_cast<size_t>(j);
      q[0] = static_cast<unsigned>(p.a);
      q[1] = static_cast<unsigned>(p.b);
      q[2] = static_cast<unsigned>(p.c);
      q[3] = static_cast<unsigned>(p.d);
    }
    rtcCommitGeometry(geometry);
    rtcAttachGeometryByID(scene, geometry, id);
    rtcReleaseGeometry(geometry);  // the scene holds it now
  }
  rtcCommitScene(scene);
  return error.empty();
}

RayHit EmbreeScene::Intersect(const HostVector& origin, const HostVector& direction, double tfar, unsigned skipGeom,
                              unsigned skipPrim) const {
  alignas(16) RTCRayHit rh;
  if (!SetRay(rh.ray, origin, direction, tfar)) return RayHit{};
  rh.hit.geomID = RTC_INVALID_GEOMETRY_ID;
  rh.hit.primID = RTC_INVALID_GEOMETRY_ID;
  rh.hit.instID[0] = RTC_INVALID_GEOMETRY_ID;
  SkipContext context;
  rtcInitIntersectContext(&context.context);
  context.geomID = skipGeom;
  context.primID = skipPrim;
  if (skipGeom != RTC_INVALID_GEOMETRY_ID) context.context.filter = &SkipFilter;
  rtcIntersect1(scene, &context.context, &rh);
  RayHit hit;
  if (rh.hit.geomID == RTC_INVALID_GEOMETRY_ID) return hit;
  hit.hit = true;
  hit.geomID = rh.hit.geomID;
  hit.primID = rh.hit.primID;
  hit.t = rh.ray.tfar;
  hit.u = rh.hit.u;
  hit.v = rh.hit.v;
  return hit;
}

bool EmbreeScene::Occluded(const HostVector& origin, const HostVector& direction, double tfar) const {
  alignas(16) RTCRay ray;
  if (!SetRay(ray, origin, direction, tfar)) return false;
  RTCIntersectContext context;
  rtcInitIntersectContext(&context);
  rtcOccluded1(scene, &context, &ray);
  return ray.tfar < 0.0f;  // Embree marks an occluded ray with tfar = -inf
}

}  // namespace tess::render
