#include "hostapp/assets/confined_files.h"

#include <algorithm>
#include <iterator>
#include <system_error>

#include "hostapp/resources/input_file.h"

namespace tess::assets {
namespace {

namespace fs = std::filesystem;

fs::path Resolved(const fs::path& path) {
  std::error_code ec;
  fs::path absolute = fs::absolute(path, ec);
  if (ec) return path.lexically_normal();
  fs::path resolved = fs::weakly_canonical(absolute, ec);
  return ec ? absolute.lexically_normal() : resolved;
}

}  // namespace

bool LiesWithin(const fs::path& path, const fs::path& folder) {
  auto p = path.begin();
  for (auto f = folder.begin(); f != folder.end(); ++f, ++p) {
    if (f->empty() && std::next(f) == folder.end()) break;  // a trailing separator
    if (p == path.end() || *p != *f) return false;
  }
  return true;
}

ConfinedFiles::ConfinedFiles(const std::string& modelPath)
    : model(modelPath), folder(Resolved(fs::absolute(modelPath).parent_path())) {}

std::string ConfinedFiles::Check(const char* file) const {
  if (file == nullptr) return "a file without a name";
  const fs::path resolved = Resolved(file);
  if (!LiesWithin(resolved, folder) && resolved != Resolved(model)) {
    std::error_code ec;
    return "it refers to " + fs::absolute(file, ec).lexically_normal().string() + ", outside the model's folder " +
           folder.string();
  }
  return {};
}

bool ConfinedFiles::Exists(const char* file) const {
  const std::string why = Check(file);
  if (!why.empty()) {
    if (refusal.empty()) refusal = model + ": " + why;
    return false;
  }
  // Assimp's own Exists opens the file to tell, which never returns on a fifo.
  std::error_code ec;
  return fs::exists(file, ec);
}

// Every file Assimp opens passes the same check as the model itself too: a
// fifo or a folder inside the model's folder is refused before it is read.
Assimp::IOStream* ConfinedFiles::Open(const char* file, const char* mode) {
  std::string why = Check(file);
  if (!why.empty()) {
    if (refusal.empty()) refusal = model + ": " + why;
    return nullptr;
  }
  std::error_code ec;
  if (!fs::exists(file, ec)) return nullptr;  // a missing texture is not our concern
  why = resources::CheckInputFile(file, resources::maxMeshInputBytes);
  if (!why.empty()) {
    if (refusal.empty()) refusal = why;
    return nullptr;
  }
  Assimp::IOStream* stream = DefaultIOSystem::Open(file, mode);
  FileStamp stamp;
  if (stream != nullptr && Stamp(file, stamp) && std::find(opened.begin(), opened.end(), stamp) == opened.end())
    opened.push_back(stamp);
  return stream;
}

}  // namespace tess::assets
