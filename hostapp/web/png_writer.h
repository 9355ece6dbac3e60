// PNG bytes for the preview's passes. A browser decodes any compression level
// alike, and a pass is shown once, so fast compression wins over small files:
// at 900 x 760 libpng's default level takes several times as long.
#ifndef TESSALINE_HOSTAPP_WEB_PNG_WRITER_H
#define TESSALINE_HOSTAPP_WEB_PNG_WRITER_H

#include <string>

#include "hostapp/render/image.h"

namespace tess::web {

// Empty when zlib fails (it only does when memory runs out).
std::string FastPng(const render::Image8& image);

}  // namespace tess::web

#endif
