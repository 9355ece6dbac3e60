#include "hostapp/gui/bitmaps.h"

#include <tiffio.h>

#include <cstdarg>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "hostapp/services/handles.h"
#include "hostapp/services/services.h"

namespace tess::gui {
namespace {

// libtiff reports through global handlers; its words are kept for the
// caller instead of going to stderr.
thread_local std::string lastTiffError;

void KeepTiffError(const char* module, const char* format, va_list args) {
  char buffer[512];
  std::vsnprintf(buffer, sizeof(buffer), format, args);
  lastTiffError = module != nullptr ? std::string(module) + ": " + buffer : std::string(buffer);
}

void IgnoreTiffWarning(const char*, const char*, va_list) {}

struct TiffCloser {
  void operator()(TIFF* tif) const { TIFFClose(tif); }
};

int32_t Fail(std::string* why, int32_t code, const std::string& reason) {
  if (why != nullptr) *why = reason;
  return code;
}

}  // namespace

int32_t LoadTiff(const std::string& path, int32_t frame, Image& out, std::string* why) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return Fail(why, loadMissing, "no such file");
  TIFFSetErrorHandler(KeepTiffError);
  TIFFSetWarningHandler(IgnoreTiffWarning);
  lastTiffError.clear();
  std::unique_ptr<TIFF, TiffCloser> tif(TIFFOpen(path.c_str(), "r"));
  if (tif == nullptr) return Fail(why, loadUnreadable, "not a TIFF file (" + lastTiffError + ")");
  if (frame > 0 && TIFFSetDirectory(tif.get(), static_cast<tdir_t>(frame)) == 0)
    return Fail(why, loadUnreadable, "no image " + std::to_string(frame) + " in the file");
  uint32_t width = 0, height = 0;
  TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &width);
  TIFFGetField(tif.get(), TIFFTAG_IMAGELENGTH, &height);
  if (width == 0 || height == 0 || width > maxBitmapSide || height > maxBitmapSide)
    return Fail(why, loadUnreadable,
                "image size " + std::to_string(width) + " x " + std::to_string(height) + " out of range");
  Image image(static_cast<int32_t>(width), static_cast<int32_t>(height));
  // libtiff's RGBA reader packs a pixel as ABGR in a 32-bit word, which is
  // R, G, B, A in memory on a little-endian machine; converted explicitly so
  // that the byte order never matters.
  std::vector<uint32_t> raster(static_cast<size_t>(width) * height);
  if (TIFFReadRGBAImageOriented(tif.get(), width, height, raster.data(), ORIENTATION_TOPLEFT, 1) == 0)
    return Fail(why, loadUnreadable, "damaged image data (" + lastTiffError + ")");
  for (uint32_t y = 0; y < height; ++y)
    for (uint32_t x = 0; x < width; ++x) {
      const uint32_t p = raster[static_cast<size_t>(y) * width + x];
      image.Set(static_cast<int32_t>(x), static_cast<int32_t>(y),
                Rgba{static_cast<uint8_t>(TIFFGetR(p)), static_cast<uint8_t>(TIFFGetG(p)),
                     static_cast<uint8_t>(TIFFGetB(p)), static_cast<uint8_t>(TIFFGetA(p))});
    }
  out = std::move(image);
  return loadOk;
}

const HostBitmapApi* BitmapTable() {
  static const HostBitmapApi table{
      [] { return new HostBitmap; },
      [](HostBitmap* bitmap, const HostFilename* path, int32_t frame) {
        if (bitmap == nullptr || path == nullptr) return loadMissing;
        std::string why;
        const int32_t result = LoadTiff(path->path, frame, bitmap->image, &why);
        bitmap->loaded = result == loadOk;
        if (!bitmap->loaded) {
          bitmap->image = Image();
          host::Services().console.Note("error: " + path->path + ": " + why);
        }
        return result;
      },
      [](const HostBitmap* bitmap) { return bitmap != nullptr ? bitmap->image.Width() : 0; },
      [](const HostBitmap* bitmap) { return bitmap != nullptr ? bitmap->image.Height() : 0; },
      [](HostBitmap* bitmap) { delete bitmap; },
  };
  return &table;
}

}  // namespace tess::gui
