// The last model read, kept while none of the files it was read from has
// changed: a scene with many objects from one file, or a model that a scene
// was made for and is then rendered, reads the file once, whichever way it
// was read (in this process or in the reader process).
#ifndef TESSALINE_HOSTAPP_ASSETS_IMPORT_CACHE_H
#define TESSALINE_HOSTAPP_ASSETS_IMPORT_CACHE_H

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "hostapp/assets/model_import.h"
#include "hostapp/assets/up_axis.h"

namespace tess::assets {

// A file as it was when a model was read from it.
struct FileStamp {
  std::string path;
  std::uintmax_t size = 0;
  std::filesystem::file_time_type time;
  bool operator==(const FileStamp& o) const { return path == o.path && size == o.size && time == o.time; }
};

// The stamp of `path` now; false when it cannot be had.
bool Stamp(const std::string& path, FileStamp& stamp);

// Reads the model's files: fills `opened` with the files it read.
using ModelReader = std::function<ModelResult(const std::string& path, std::vector<FileStamp>& opened)>;

// The last model `read` gave for the same path and up axis while its files
// stay the same, else `read`'s result, kept for next time when it is a model.
// Lets the last model go: once a scene is read, its objects hold their own
// meshes, and a server that runs for days should not hold the file's too.
void ForgetLastImport();

ModelResult CachedImport(const std::string& path, std::optional<UpAxis> up, const ModelReader& read);

}  // namespace tess::assets

#endif
