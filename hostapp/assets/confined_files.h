// The files Assimp may open while it reads a model: the model itself, and
// the files it refers to (a glTF's buffers and images, COLLADA's and FBX's
// external references) only where they lie in the model's folder or below
// it, after `..` and symbolic links are resolved. A model cannot make the
// host read /etc/passwd, a device, or the user's other files.
#ifndef TESSALINE_HOSTAPP_ASSETS_CONFINED_FILES_H
#define TESSALINE_HOSTAPP_ASSETS_CONFINED_FILES_H

#include <assimp/DefaultIOSystem.h>

#include <filesystem>
#include <string>
#include <vector>

#include "hostapp/assets/import_cache.h"

namespace tess::assets {

// Whether `path` (resolved) is `folder` or lies below it; both absolute and
// resolved.
bool LiesWithin(const std::filesystem::path& path, const std::filesystem::path& folder);

class ConfinedFiles : public Assimp::DefaultIOSystem {
 public:
  explicit ConfinedFiles(const std::string& modelPath);

  bool Exists(const char* file) const override;
  Assimp::IOStream* Open(const char* file, const char* mode) override;

  // The first file refused, as one line "model: reason"; empty for none.
  const std::string& Refusal() const { return refusal; }
  // The files opened, for telling later whether the model has changed.
  const std::vector<FileStamp>& Opened() const { return opened; }

 private:
  // Empty when `file` may be read; the reason otherwise.
  std::string Check(const char* file) const;

  std::string model;
  std::filesystem::path folder;  // resolved
  mutable std::string refusal;
  std::vector<FileStamp> opened;
};

}  // namespace tess::assets

#endif
