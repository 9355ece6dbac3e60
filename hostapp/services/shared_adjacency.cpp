#include "hostapp/services/shared_adjacency.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <functional>
#include <map>
#include <mutex>
#include <new>
#include <tuple>
#include <vector>

namespace tess::host {
namespace {

struct Source {
  const HostPolygon* polygons;
  int32_t polygonCount;
  int32_t pointCount;

  bool operator<(const Source& o) const {
    return std::tie(polygons, polygonCount, pointCount) < std::tie(o.polygons, o.polygonCount, o.pointCount);
  }
};

// A table with the input it was built from. Filled once; read-only after.
struct Entry {
  std::once_flag filled;
  bool failed = false;  // memory ran out: neither copy nor table
  int32_t pointCount = 0;
  std::vector<HostPolygon> polygons;
  AdjacencyTable table;
  bool complete = false;

  bool BuiltFrom(const Source& s) const {
    return !failed && pointCount == s.pointCount && polygons.size() == static_cast<size_t>(s.polygonCount) &&
           std::memcmp(polygons.data(), s.polygons, polygons.size() * sizeof(HostPolygon)) == 0;
  }
};

std::atomic<uint64_t> builds{0};

class Registry {
 public:
  // The live entry for the source, or a new empty one; `fresh` always makes a
  // new one, which replaces a stale entry for later requests.
  std::shared_ptr<Entry> Find(const Source& s, bool fresh) {
    const std::lock_guard<std::mutex> hold(lock);
    if (!fresh) {
      const auto found = entries.find(s);
      if (found != entries.end())
        if (std::shared_ptr<Entry> entry = found->second.lock()) return entry;
    }
    ForgetFreed();
    auto entry = std::make_shared<Entry>();
    entries[s] = entry;
    if (retentions > 0) retained.push_back(entry);
    return entry;
  }

  void Retain() {
    const std::lock_guard<std::mutex> hold(lock);
    ++retentions;
  }

  // The retained entries, to be let go outside the lock, once the last
  // retention ends.
  std::vector<std::shared_ptr<Entry>> EndRetention() {
    std::vector<std::shared_ptr<Entry>> released;
    const std::lock_guard<std::mutex> hold(lock);
    if (--retentions == 0) released.swap(retained);
    return released;
  }

 private:
  // Entries of freed tables are dropped once the map has doubled since the
  // last sweep, so that sweeping costs a constant per entry made.
  void ForgetFreed() {
    if (entries.size() < sweepAt) return;
    for (auto it = entries.begin(); it != entries.end();) it = it->second.expired() ? entries.erase(it) : std::next(it);
    sweepAt = std::max<size_t>(64, 2 * entries.size());
  }

  std::mutex lock;
  std::map<Source, std::weak_ptr<Entry>> entries;
  size_t sweepAt = 64;
  int retentions = 0;
  std::vector<std::shared_ptr<Entry>> retained;
};

Registry& Tables() {
  static Registry registry;
  return registry;
}

void Fill(Entry& entry, const Source& s) {
  try {
    entry.pointCount = s.pointCount;
    entry.polygons.assign(s.polygons, s.polygons + s.polygonCount);
    entry.complete = entry.table.Build(s.pointCount, s.polygons, s.polygonCount);
  } catch (const std::bad_alloc&) {
    std::vector<HostPolygon>().swap(entry.polygons);
    entry.table.Clear();
    entry.failed = true;
  }
  builds.fetch_add(1, std::memory_order_relaxed);
}

SharedAdjacency Share(const std::shared_ptr<Entry>& entry) {
  if (entry->failed) return {};
  // The table's holders keep the whole entry alive, copy included.
  return SharedAdjacency{std::shared_ptr<const AdjacencyTable>(entry, &entry->table), entry->complete};
}

}  // namespace

SharedAdjacency AcquireAdjacency(int32_t pointCount, const HostPolygon* polygons, int32_t polygonCount) {
  const Source source{polygons, polygonCount, pointCount};
  for (const bool fresh : {false, true}) {
    std::shared_ptr<Entry> entry = Tables().Find(source, fresh);
    std::call_once(entry->filled, Fill, std::ref(*entry), std::cref(source));
    if (entry->failed || entry->BuiltFrom(source)) return Share(entry);
  }
  // Another thread refilled the same array with other polygons between the
  // two attempts: this request gets a table of its own.
  auto own = std::make_shared<Entry>();
  Fill(*own, source);
  return Share(own);
}

AdjacencyRetention::AdjacencyRetention() {
  Tables().Retain();
}

AdjacencyRetention::~AdjacencyRetention() {
  Tables().EndRetention();  // the tables go with the returned holders
}

uint64_t AdjacencyBuilds() {
  return builds.load(std::memory_order_relaxed);
}

}  // namespace tess::host
