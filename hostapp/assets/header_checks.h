// The checks a mesh file passes before any reader opens it: cheap ones, made
// by the host itself, on the first bytes or one streamed pass over the file.
// They refuse at once what would make a reader allocate what the file cannot
// hold, or never return.
#ifndef TESSALINE_HOSTAPP_ASSETS_HEADER_CHECKS_H
#define TESSALINE_HOSTAPP_ASSETS_HEADER_CHECKS_H

#include <string>

namespace tess::assets {

// Empty when the file may go to the reader; otherwise one line, "file: reason"
// or "file:line: reason". The file must be a regular, non-empty file of at
// most 2 GB with an extension Assimp reads (not OBJ). Then, by format: the
// signature where there is one (glTF, binary glTF, COLLADA, FBX, PLY); a
// header that announces more than the file could hold is refused (OFF, PLY,
// binary STL, binary glTF chunks); a PLY header must end within 64 KB; a
// COLLADA index list must hold only numbers.
std::string CheckModelFile(const std::string& path);

}  // namespace tess::assets

#endif
