// Edits of one value sent by one page in a row may reach the server out of
// order: the browser sends them over several connections, and the server
// answers them on several threads. The page numbers its edits; an edit older
// than the newest applied one of the same value from the same page is
// dropped, so the last edit sent is the one that stays.
#ifndef TESSALINE_HOSTAPP_WEB_EDIT_ORDER_H
#define TESSALINE_HOSTAPP_WEB_EDIT_ORDER_H

#include <cstdint>
#include <map>
#include <string>

namespace tess::web {

class EditOrder {
 public:
  // Whether edit `sequence` of `value` from `page` is newer than every one
  // applied before; it is the newest from now on if so.
  bool Fresh(const std::string& page, const std::string& value, uint64_t sequence);

 private:
  // Pages come and go: past this many values all are forgotten, which at
  // worst lets an edit that was already late through once.
  static constexpr size_t keptValues = 4096;
  std::map<std::string, uint64_t> newest;
};

}  // namespace tess::web

#endif
