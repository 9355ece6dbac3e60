#include "hostapp/render/shading.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "hostapp/render/channels.h"
#include "hostapp/assets/vec.h"

namespace tess::render {
namespace {

// Shadow rays leave the surface this far along its normal, so that they do
// not find the polygon they start on.
constexpr double shadowOffset = 1e-4;

// c^shininess. Shininess is a whole number in most materials, and squaring
// is several times cheaper than the general power there.
double SpecularLobe(double c, double shininess) {
  if (shininess >= 0.0 && shininess <= 4096.0 && shininess == std::floor(shininess)) {
    double power = 1.0;
    for (auto k = static_cast<unsigned>(shininess); k != 0; k >>= 1, c *= c)
      if ((k & 1) != 0) power *= c;
    return power;
  }
  return std::pow(c, shininess);
}

}  // namespace

HostRay MakeRay(const HostVector& origin, const HostVector& direction) {
  HostRay ray{};
  ray.origin = origin;
  ray.direction = direction;
  ray.factor = 1.0;
  for (int k = 0; k < 3; ++k) {
    ray.origins[k] = origin;
    ray.directions[k] = direction;
  }
  ray.weight = HostVector{1, 1, 1};
  return ray;
}

HostVolumeData MakeVolumeData(const RenderObject& object, int32_t index, int32_t polygon, const Surface& surface,
                              const HostRay& ray, void* renderer) {
  HostVolumeData vd{};
  vd.point = surface.point;
  vd.normal = surface.shadingNormal;
  vd.secondNormal = surface.geometricNormal;
  vd.ray = &ray;
  vd.hitId = HitIdOf(static_cast<unsigned>(index), static_cast<unsigned>(polygon));
  vd.context = &object;  // any non-null pointer: this hit can be shaded
  vd.bumpU = surface.bumpU;
  vd.bumpV = surface.bumpV;
  vd.object = &object.ray;
  vd.renderer = renderer;
  return vd;
}

SampleShader::SampleShader(const RenderContext& c, int32_t threadIndex) : context(c) {
  sampleContext.threadIndex = threadIndex;
  sampleContext.tracer = &c.tracer;
}

SampleResult SampleShader::Shade(const HostVector& origin, const HostVector& direction) {
  SampleResult result;
  ++cameraRays;
  const RayHit hit = context.embree.Intersect(origin, direction, std::numeric_limits<double>::infinity());
  if (!hit.hit) {
    result.color = context.scene.image.background;
    return result;
  }
  ++shadedSamples;
  const RenderObject& object = context.objects[hit.geomID];
  const auto polygon = static_cast<int32_t>(hit.primID);
  const Surface surface = SurfaceAt(object, polygon, hit.u, hit.v);
  const HostRay ray = MakeRay(origin, direction);
  HostVolumeData vd = MakeVolumeData(object, static_cast<int32_t>(hit.geomID), polygon, surface, ray, &sampleContext);
  const Material& material = object.source->material;
  Vec n = ApplyNormalChannels(material, vd);
  const Vec albedo = Albedo(material, vd);
  // Seen from behind, the surface is lit on the side the viewer is on.
  if (Dot(surface.geometricNormal, direction) > 0.0) n = -n;
  result.color = Light(surface, n, direction, albedo, material);
  result.normal = n;
  result.albedo = albedo;
  result.distance = hit.t;
  result.object = static_cast<int32_t>(hit.geomID);
  result.hit = true;
  return result;
}

HostVector SampleShader::Light(const Surface& surface, const HostVector& n, const HostVector& direction,
                               const HostVector& albedo, const Material& material) {
  const Vec facing = Dot(surface.geometricNormal, direction) > 0.0 ? -surface.geometricNormal : surface.geometricNormal;
  const Vec start = surface.point + facing * shadowOffset;
  Vec diffuse{0, 0, 0}, specular{0, 0, 0};
  for (const LightSetup& light : context.scene.lights) {
    const Vec power = light.color * light.intensity;
    if (light.type == LightSetup::Type::Ambient) {
      diffuse = diffuse + power;
      continue;
    }
    Vec toLight = -Normalize(light.direction);
    double distance = std::numeric_limits<double>::infinity();
    double falloff = 1.0;
    if (light.type == LightSetup::Type::Point) {
      const Vec d = light.position - surface.point;
      distance = Length(d);
      toLight = Normalize(d);
      falloff = distance > 0.0 ? 1.0 / (distance * distance) : 0.0;
    }
    const double cosine = Dot(n, toLight);
    // A light below the polygon itself cannot reach it, whatever the shading normal says.
    if (cosine <= 0.0 || Dot(facing, toLight) <= 0.0) continue;
    ++shadowRays;
    if (context.embree.Occluded(start, toLight, distance)) continue;
    diffuse = diffuse + power * (cosine * falloff);
    const Vec half = Normalize(toLight - direction);
    const double lobe = SpecularLobe(std::max(0.0, Dot(n, half)), material.shininess);
    specular = specular + power * (lobe * falloff);
  }
  return Mul(albedo, diffuse) + specular * material.specular;
}

}  // namespace tess::render
