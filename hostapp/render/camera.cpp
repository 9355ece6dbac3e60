#include "hostapp/render/camera.h"

#include <cmath>
#include <cstdint>

#include "hostapp/assets/vec.h"

namespace tess::render {
namespace {

constexpr double pi = 3.141592653589793;

uint64_t Mix64(uint64_t h) {
  h ^= h >> 33;
  h *= 0xFF51AFD7ED558CCDull;
  h ^= h >> 33;
  h *= 0xC4CEB9FE1A85EC53ull;
  h ^= h >> 33;
  return h;
}

double Unit(uint64_t h) {
  return static_cast<double>(h >> 11) / static_cast<double>(1ull << 53);
}

}  // namespace

Camera::Camera(const CameraSetup& setup, int w, int h) : origin(setup.position), width(w), height(h) {
  forward = Normalize(setup.target - setup.position);
  right = Normalize(Cross(forward, setup.up));
  // An up vector along the view direction leaves no right: pick any.
  if (Length(right) == 0.0) right = Normalize(Cross(forward, std::fabs(forward.y) < 0.9 ? Vec{0, 1, 0} : Vec{1, 0, 0}));
  up = Cross(right, forward);
  halfHeight = std::tan(setup.fov * pi / 360.0);
  halfWidth = halfHeight * width / height;
}

HostVector Camera::Direction(double x, double y) const {
  const double sx = (2.0 * x / width - 1.0) * halfWidth;
  const double sy = (1.0 - 2.0 * y / height) * halfHeight;
  return Normalize(forward + right * sx + up * sy);
}

CameraSetup FitCamera(const CameraSetup& camera, double sceneAspect, int width, int height) {
  if (width <= 0 || height <= 0 || !(sceneAspect > 0.0) || !std::isfinite(sceneAspect)) return camera;
  const double aspect = static_cast<double>(width) / height;
  if (aspect >= sceneAspect) return camera;
  CameraSetup fitted = camera;
  const double halfTangent = std::tan(camera.fov * pi / 360.0) * sceneAspect / aspect;
  fitted.fov = std::atan(halfTangent) * 360.0 / pi;
  return fitted;
}

void PixelSample(int x, int y, int k, int count, double& dx, double& dy) {
  if (count <= 1) {
    dx = dy = 0.5;
    return;
  }
  const int columns = static_cast<int>(std::ceil(std::sqrt(static_cast<double>(count))));
  const int rows = (count + columns - 1) / columns;
  const uint64_t h = Mix64((static_cast<uint64_t>(static_cast<uint32_t>(x)) << 32 | static_cast<uint32_t>(y)) ^
                           Mix64(static_cast<uint64_t>(k) + 0x9E3779B97F4A7C15ull));
  const int column = k % columns;
  const int row = k / columns;
  dx = (column + Unit(h)) / columns;
  dy = (row + Unit(Mix64(h))) / rows;
}

}  // namespace tess::render
