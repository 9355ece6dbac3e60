#include "source/softedge/softedge.h"

#include "host/c4d_memory.h"

ShaderData* SoftEdge::Alloc() { return NewObj(SoftEdge); }
