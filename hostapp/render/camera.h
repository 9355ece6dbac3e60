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

// The camera that shows what `camera` frames in an image of `sceneAspect`
// (width over height) in an image of width x height: where that image is
// narrower, the vertical field of view widens until the horizontal one fits
// (its half-tangent becomes tan(fov / 2) * sceneAspect / (width / height)).
// Unchanged where the image is as wide or wider, or the sizes make no shape.
CameraSetup FitCamera(const CameraSetup& camera, double sceneAspect, int width, int height);

// Sample k of `count` inside pixel (x, y), as offsets in [0, 1)^2: one per
// stratum of a near-square grid, jittered by a hash of the pixel and k alone,
// so that images do not depend on which thread renders which pixel.
void PixelSample(int x, int y, int k, int count, double& dx, double& dy);

}  // namespace tess::render

#endif
