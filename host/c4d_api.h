// Access to the host's function tables for the wrappers of this folder.
#ifndef TESSALINE_HOST_C4D_API_H
#define TESSALINE_HOST_C4D_API_H

#include "host/c4d_host.h"

using Int32 = int32_t;
using Int64 = int64_t;
using Float = double;
using Bool = bool;

constexpr Float PI = 3.141592653589793;
// Angles are kept in radians; defaults are written in degrees.
constexpr Float DegToRad(Float degrees) {
  return degrees * PI / 180.0;
}

// The table handed over at system init; null before that. Read on every host
// call, so it is a plain variable the compiler can inline.
extern const HostTable* hostTablePointer;
inline void SetHostTable(const HostTable* table) {
  hostTablePointer = table;
}
inline const HostTable* GetHostTable() {
  return hostTablePointer;
}

// Each group's table, or null when there is no host or the host lacks the group.
#define TESSALINE_HOST_GROUP(Name, Type, field) \
  inline const Type* Name() {                   \
    const HostTable* t = GetHostTable();        \
    return t != nullptr ? t->field : nullptr;   \
  }
TESSALINE_HOST_GROUP(MemoryApi, HostMemoryApi, memory)
TESSALINE_HOST_GROUP(StringApi, HostStringApi, strings)
TESSALINE_HOST_GROUP(ResourceApi, HostResourceApi, resources)
TESSALINE_HOST_GROUP(DescriptionApi, HostDescriptionApi, descriptions)
TESSALINE_HOST_GROUP(ContainerApi, HostContainerApi, containers)
TESSALINE_HOST_GROUP(RegistrationApi, HostRegistrationApi, registration)
TESSALINE_HOST_GROUP(RenderApi, HostRenderApi, render)
TESSALINE_HOST_GROUP(NeighborApi, HostNeighborApi, neighbor)
TESSALINE_HOST_GROUP(LinkedApi, HostLinkedApi, linked)
TESSALINE_HOST_GROUP(BitmapApi, HostBitmapApi, bitmaps)
TESSALINE_HOST_GROUP(GuiApi, HostGuiApi, gui)
TESSALINE_HOST_GROUP(FilenameApi, HostFilenameApi, filenames)
TESSALINE_HOST_GROUP(ConsoleApi, HostConsoleApi, console)
TESSALINE_HOST_GROUP(OpenApi, HostOpenApi, open)
#undef TESSALINE_HOST_GROUP

#endif
