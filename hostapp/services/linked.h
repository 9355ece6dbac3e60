// Linked data: shaders linked from a parameter, curves and gradients.
#ifndef TESSALINE_HOSTAPP_SERVICES_LINKED_H
#define TESSALINE_HOSTAPP_SERVICES_LINKED_H

#include "host/c4d_host.h"

namespace tess::host {

const HostLinkedApi* LinkedTable();

}  // namespace tess::host

#endif
