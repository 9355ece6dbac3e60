// RGBA images: the canvases user areas draw on, bitmaps, and frames written
// as PNG files.
#ifndef TESSALINE_HOSTAPP_GUI_IMAGE_H
#define TESSALINE_HOSTAPP_GUI_IMAGE_H

#include <cstdint>
#include <string>
#include <vector>

namespace tess::gui {

struct Rgba {
  uint8_t r = 0, g = 0, b = 0, a = 255;
};

// Rows top to bottom, four bytes a pixel, straight (not premultiplied) alpha.
class Image {
 public:
  Image() = default;
  Image(int32_t width, int32_t height, Rgba fill = Rgba{0, 0, 0, 0});

  int32_t Width() const { return width; }
  int32_t Height() const { return height; }
  bool Empty() const { return width <= 0 || height <= 0; }
  bool Contains(int32_t x, int32_t y) const { return x >= 0 && y >= 0 && x < width && y < height; }

  Rgba At(int32_t x, int32_t y) const;
  void Set(int32_t x, int32_t y, Rgba c);
  // Source-over compositing; points outside the image are ignored.
  void Blend(int32_t x, int32_t y, Rgba c);
  void FillRect(int32_t x, int32_t y, int32_t w, int32_t h, Rgba c);
  // Copies a whole image with its top left at (x, y), blending by alpha.
  void Paste(const Image& source, int32_t x, int32_t y);

  std::vector<uint8_t>& Bytes() { return pixels; }
  const std::vector<uint8_t>& Bytes() const { return pixels; }

 private:
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint8_t> pixels;
};

// Sampling used when a bitmap is drawn scaled.
enum class Filter { Nearest, Bilinear };

// Draws the source rectangle (sx, sy, sw, sh) of a bitmap stretched into the
// destination rectangle (x, y, w, h). Source pixels outside the bitmap are
// transparent, so a bitmap shorter than its rectangle leaves the rest as it was.
void DrawScaled(Image& target, const Image& bitmap, int32_t x, int32_t y, int32_t w, int32_t h, int32_t sx, int32_t sy,
                int32_t sw, int32_t sh, Filter filter);

// Writes an image as an 8-bit RGBA PNG; false with a reason on failure.
bool WritePng(const Image& image, const std::string& path, std::string* why);

}  // namespace tess::gui

#endif
