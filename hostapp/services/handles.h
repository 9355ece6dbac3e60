// What the host's opaque handles are on this side of the contract.
#ifndef TESSALINE_HOSTAPP_SERVICES_HANDLES_H
#define TESSALINE_HOSTAPP_SERVICES_HANDLES_H

#include <string>

#include "host/c4d_host.h"

struct HostString {
  std::string text;
};

struct HostFilename {
  std::string path;
};

#endif
