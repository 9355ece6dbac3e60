// Soft Edge: rounds hard polygon edges in the normal channel.
#ifndef TESSALINE_SOURCE_SOFTEDGE_SOFTEDGE_H
#define TESSALINE_SOURCE_SOFTEDGE_SOFTEDGE_H

#include "host/c4d_shader.h"

class SoftEdge : public ShaderData {
 public:
  static ShaderData* Alloc();
};

#endif
