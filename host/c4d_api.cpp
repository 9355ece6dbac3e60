#include "host/c4d_api.h"

const HostTable* hostTablePointer = nullptr;
