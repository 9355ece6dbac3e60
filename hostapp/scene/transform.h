// Object placement: scale, then rotation about x, y and z (degrees), then
// translation.
#ifndef TESSALINE_HOSTAPP_SCENE_TRANSFORM_H
#define TESSALINE_HOSTAPP_SCENE_TRANSFORM_H

#include "host/c4d_host.h"

namespace tess::render {

struct Placement {
  HostVector position{0, 0, 0};
  HostVector rotation{0, 0, 0};  // degrees
  HostVector scale{1, 1, 1};
};

HostVector Place(const Placement& placement, const HostVector& p);

}  // namespace tess::render

#endif
