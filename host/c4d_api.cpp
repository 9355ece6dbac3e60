#include "host/c4d_api.h"

namespace {
const HostTable* hostTable = nullptr;
}

void SetHostTable(const HostTable* table) { hostTable = table; }
const HostTable* GetHostTable() { return hostTable; }
