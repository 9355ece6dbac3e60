// The names of files a page sends to be opened: bare file names only, so
// that no name can reach outside the folder the files are written to.
#ifndef TESSALINE_HOSTAPP_WEB_UPLOAD_NAMES_H
#define TESSALINE_HOSTAPP_WEB_UPLOAD_NAMES_H

#include <string>
#include <vector>

namespace tess::web {

// The longest file name most file systems take, in bytes.
constexpr size_t maxFileNameBytes = 255;

// Empty when `name` is a bare file name: not empty, at most 255 bytes, no
// '/', '\' or NUL, not "." or "..". Otherwise why not, as one line that
// quotes the name.
std::string BareNameProblem(const std::string& name);

// Whether `serve MODEL` reads a file of this name: an OBJ, or a format the
// model importer reads (the extension decides, in any case).
bool IsModelName(const std::string& name);

// Why none of `names` is a model, as one line that names them and the
// extensions that are read.
std::string NoModelAmong(const std::vector<std::string>& names);

}  // namespace tess::web

#endif
