// Draw Edge: draws lines along the polygon edges that pass its tests.
#ifndef TESSALINE_SOURCE_DRAWEDGE_DRAWEDGE_H
#define TESSALINE_SOURCE_DRAWEDGE_DRAWEDGE_H

#include "host/c4d_shader.h"

class DrawEdge : public ShaderData {
 public:
  static ShaderData* Alloc();
};

#endif
