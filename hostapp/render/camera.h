// A pinhole camera looking from position at target with a vertical field of
// view.
#ifndef TESSALINE_HOSTAPP_RENDER_CAMERA_H
#define TESSALINE_HOSTAPP_RENDER_CAMERA_H

#include "hostapp/scene/scene.h"

namespace tess::render {

class Camera {
 public:
  Camera(const CameraSetup& setup, int width, int height);
  HostVector Origin() const { return origin; }
  // Unit direction through the image point (x, y), in pixels from the top
  // left corner.
  HostVector Direction(double x, double y) const;

 private:
  HostVector origin, forward, right, up;
  double width, height, halfHeight, halfWidth;
};

// The camera that keeps the scene's framing in a width × height image: where
// the image is narrower than the scene's own aspect (width over height), the
// vertical field of view widens until the scene's horizontal one fits, so
// nothing the scene frames is cut off.
CameraSetup FitCamera(const CameraSetup& camera, double sceneAspect, int width, int height);

// Sample k of `count` inside pixel (x, y), as offsets in [0, 1)^2: one per
// stratum of a near-square grid, jittered by a hash of the pixel and k alone,
// so that images do not depend on which thread renders which pixel.
void PixelSample(int x, int y, int k, int count, double& dx, double& dy);

}  // namespace tess::render

#endif
