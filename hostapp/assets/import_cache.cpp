#include "hostapp/assets/import_cache.h"

#include <mutex>
#include <system_error>

namespace tess::assets {
namespace {

namespace fs = std::filesystem;

struct LastImport {
  std::mutex mutex;
  std::string path;
  std::optional<UpAxis> up;
  std::vector<FileStamp> files;
  std::shared_ptr<const Model> model;
};

LastImport& Last() {
  static LastImport last;
  return last;
}

bool Unchanged(const std::vector<FileStamp>& files) {
  for (const FileStamp& before : files) {
    FileStamp now;
    if (!Stamp(before.path, now) || !(now == before)) return false;
  }
  return !files.empty();
}

}  // namespace

bool Stamp(const std::string& path, FileStamp& stamp) {
  std::error_code ec;
  stamp.path = path;
  stamp.size = fs::file_size(path, ec);
  if (ec) return false;
  stamp.time = fs::last_write_time(path, ec);
  return !ec;
}

void ForgetLastImport() {
  std::shared_ptr<const Model> model;  // freed outside the lock
  LastImport& last = Last();
  std::lock_guard<std::mutex> lock(last.mutex);
  model = std::move(last.model);
  last.path.clear();
  last.files.clear();
}

ModelResult CachedImport(const std::string& path, std::optional<UpAxis> up, const ModelReader& read) {
  std::error_code ec;
  fs::path key = fs::weakly_canonical(path, ec);
  if (ec) key = fs::absolute(path, ec).lexically_normal();
  LastImport& last = Last();
  {
    std::lock_guard<std::mutex> lock(last.mutex);
    if (last.model != nullptr && last.path == key.string() && last.up == up && Unchanged(last.files))
      return {last.model, {}, true};
  }
  std::vector<FileStamp> opened;
  ModelResult result = read(path, opened);
  std::lock_guard<std::mutex> lock(last.mutex);
  last.model = result.model;
  last.up = up;
  last.path = result.model != nullptr ? key.string() : std::string();
  last.files = std::move(opened);
  return result;
}

}  // namespace tess::assets
