#include "hostapp/web/upload_names.h"

#include <algorithm>
#include <cctype>

#include "hostapp/assets/model_import.h"
#include "hostapp/scene/json_access.h"
#include "hostapp/scene/mesh_file.h"

namespace tess::web {
namespace {

// The extension with its dot, as written: "" for none, and for names that
// are all extension (".obj"), which name no file of that format.
std::string ExtensionOf(const std::string& name) {
  const size_t dot = name.rfind('.');
  return dot == std::string::npos || dot == 0 ? std::string() : name.substr(dot);
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

std::string BareNameProblem(const std::string& name) {
  if (name.empty()) return "a file has no name";
  const std::string quoted = "\"" + render::Printable(name.substr(0, 80)) + (name.size() > 80 ? "…" : "") + "\"";
  if (name.size() > maxFileNameBytes) return quoted + ": a file name may have at most 255 bytes";
  if (name.find_first_of(std::string("/\\\0", 3)) != std::string::npos || name == "." || name == "..")
    return quoted + ": expected a bare file name, without a folder";
  return {};
}

bool IsModelName(const std::string& name) {
  const std::string extension = Lower(ExtensionOf(name));
  if (extension.empty()) return false;
  return render::IsObjFile(name) || (extension != ".json" && assets::ReadsExtension(extension));
}

std::string NoModelAmong(const std::vector<std::string>& names) {
  if (names.empty()) return "the request holds no file";
  std::string list;
  for (const std::string& name : names) list += (list.empty() ? "" : ", ") + render::Printable(name);
  const std::string known = " (known: obj " + assets::Extensions() + ")";
  if (names.size() == 1) {
    const std::string extension = ExtensionOf(names.front());
    if (extension.empty()) return list + ": the name has no extension to tell its format" + known;
    return list + ": no mesh format has the extension \"" + render::Printable(extension) + "\"" + known;
  }
  return "no model file among " + list + known;
}

}  // namespace tess::web
