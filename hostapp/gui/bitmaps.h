// Host bitmaps: images loaded from TIFF files for the module to draw.
#ifndef TESSALINE_HOSTAPP_GUI_BITMAPS_H
#define TESSALINE_HOSTAPP_GUI_BITMAPS_H

#include <string>

#include "host/c4d_host.h"
#include "hostapp/gui/image.h"

struct HostBitmap {
  tess::gui::Image image;
  bool loaded = false;
};

namespace tess::gui {

// Load results, as the module sees them.
constexpr int32_t loadOk = 1;
constexpr int32_t loadMissing = -1;
constexpr int32_t loadUnreadable = -2;

// Bitmaps larger than this on a side are refused rather than allocated.
constexpr int32_t maxBitmapSide = 16384;

// Reads one image of a TIFF file (frame -1 or 0: the first) into an RGBA
// image; a load result and, on failure, why.
int32_t LoadTiff(const std::string& path, int32_t frame, Image& out, std::string* why);

const HostBitmapApi* BitmapTable();

}  // namespace tess::gui

#endif
