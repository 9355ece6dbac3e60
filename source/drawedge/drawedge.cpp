#include "source/drawedge/drawedge.h"

#include "host/c4d_memory.h"

ShaderData* DrawEdge::Alloc() { return NewObj(DrawEdge); }
