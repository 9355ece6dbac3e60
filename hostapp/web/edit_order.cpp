#include "hostapp/web/edit_order.h"

namespace tess::web {

bool EditOrder::Fresh(const std::string& page, const std::string& value, uint64_t sequence) {
  const std::string key = page + '\n' + value;
  auto it = newest.find(key);
  if (it != newest.end() && sequence <= it->second) return false;
  if (it == newest.end() && newest.size() >= keptValues) newest.clear();
  newest[key] = sequence;
  return true;
}

}  // namespace tess::web
