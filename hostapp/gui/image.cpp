#include "hostapp/gui/image.h"

#include <png.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "hostapp/services/atomic_file.h"

namespace tess::gui {
namespace {

uint8_t Mix(uint8_t dst, uint8_t src, uint32_t alpha) {
  return static_cast<uint8_t>((src * alpha + dst * (255 - alpha) + 127) / 255);
}

// The source pixel at (u, v), transparent outside the bitmap or the source rectangle.
Rgba SourceAt(const Image& bitmap, int32_t u, int32_t v, int32_t sx, int32_t sy, int32_t sw, int32_t sh) {
  if (u < sx || v < sy || u >= sx + sw || v >= sy + sh || !bitmap.Contains(u, v)) return Rgba{0, 0, 0, 0};
  return bitmap.At(u, v);
}

Rgba Lerp(Rgba a, Rgba b, double t) {
  const auto l = [t](uint8_t p, uint8_t q) {
    return static_cast<uint8_t>(std::lround(static_cast<double>(p) + (static_cast<double>(q) - p) * t));
  };
  return Rgba{l(a.r, b.r), l(a.g, b.g), l(a.b, b.b), l(a.a, b.a)};
}

}  // namespace

Image::Image(int32_t w, int32_t h, Rgba fill) : width(std::max(w, 0)), height(std::max(h, 0)) {
  pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
  for (size_t i = 0; i < pixels.size(); i += 4) {
    pixels[i] = fill.r;
    pixels[i + 1] = fill.g;
    pixels[i + 2] = fill.b;
    pixels[i + 3] = fill.a;
  }
}

Rgba Image::At(int32_t x, int32_t y) const {
  if (!Contains(x, y)) return Rgba{0, 0, 0, 0};
  const size_t i = (static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 4;
  return Rgba{pixels[i], pixels[i + 1], pixels[i + 2], pixels[i + 3]};
}

void Image::Set(int32_t x, int32_t y, Rgba c) {
  if (!Contains(x, y)) return;
  const size_t i = (static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 4;
  pixels[i] = c.r;
  pixels[i + 1] = c.g;
  pixels[i + 2] = c.b;
  pixels[i + 3] = c.a;
}

void Image::Blend(int32_t x, int32_t y, Rgba c) {
  if (!Contains(x, y) || c.a == 0) return;
  if (c.a == 255) return Set(x, y, c);
  const Rgba d = At(x, y);
  const uint32_t outA = c.a + d.a * (255u - c.a) / 255u;
  Set(x, y, Rgba{Mix(d.r, c.r, c.a), Mix(d.g, c.g, c.a), Mix(d.b, c.b, c.a), static_cast<uint8_t>(outA)});
}

void Image::FillRect(int32_t x, int32_t y, int32_t w, int32_t h, Rgba c) {
  const int32_t x0 = std::max(x, 0), y0 = std::max(y, 0);
  const int64_t x1 = std::min<int64_t>(static_cast<int64_t>(x) + w, width);
  const int64_t y1 = std::min<int64_t>(static_cast<int64_t>(y) + h, height);
  for (int64_t j = y0; j < y1; ++j)
    for (int64_t i = x0; i < x1; ++i) Blend(static_cast<int32_t>(i), static_cast<int32_t>(j), c);
}

void Image::Paste(const Image& source, int32_t x, int32_t y) {
  for (int32_t j = 0; j < source.Height(); ++j)
    for (int32_t i = 0; i < source.Width(); ++i) Blend(x + i, y + j, source.At(i, j));
}

void DrawScaled(Image& target, const Image& bitmap, int32_t x, int32_t y, int32_t w, int32_t h, int32_t sx, int32_t sy,
                int32_t sw, int32_t sh, Filter filter) {
  if (w <= 0 || h <= 0 || sw <= 0 || sh <= 0) return;
  // Only the part of the destination that lies on the target is visited, so a
  // huge rectangle costs no more than the target's size.
  const int64_t i0 = std::max<int64_t>(0, -static_cast<int64_t>(x));
  const int64_t j0 = std::max<int64_t>(0, -static_cast<int64_t>(y));
  const int64_t i1 = std::min<int64_t>(w, static_cast<int64_t>(target.Width()) - x);
  const int64_t j1 = std::min<int64_t>(h, static_cast<int64_t>(target.Height()) - y);
  const double fx = static_cast<double>(sw) / w, fy = static_cast<double>(sh) / h;
  for (int64_t j = j0; j < j1; ++j) {
    for (int64_t i = i0; i < i1; ++i) {
      const double u = sx + (static_cast<double>(i) + 0.5) * fx;
      const double v = sy + (static_cast<double>(j) + 0.5) * fy;
      Rgba c;
      if (filter == Filter::Nearest) {
        c = SourceAt(bitmap, static_cast<int32_t>(std::floor(u)), static_cast<int32_t>(std::floor(v)), sx, sy, sw, sh);
      } else {
        // Edge pixels are clamped into the source rectangle rather than
        // fading into transparency.
        const double cu = std::clamp(u - 0.5, static_cast<double>(sx), static_cast<double>(sx + sw - 1));
        const double cv = std::clamp(v - 0.5, static_cast<double>(sy), static_cast<double>(sy + sh - 1));
        const auto u0 = static_cast<int32_t>(std::floor(cu)), v0 = static_cast<int32_t>(std::floor(cv));
        const int32_t u1 = std::min(u0 + 1, sx + sw - 1), v1 = std::min(v0 + 1, sy + sh - 1);
        const Rgba top =
            Lerp(SourceAt(bitmap, u0, v0, sx, sy, sw, sh), SourceAt(bitmap, u1, v0, sx, sy, sw, sh), cu - u0);
        const Rgba bottom =
            Lerp(SourceAt(bitmap, u0, v1, sx, sy, sw, sh), SourceAt(bitmap, u1, v1, sx, sy, sw, sh), cu - u0);
        c = Lerp(top, bottom, cv - v0);
      }
      target.Blend(static_cast<int32_t>(x + i), static_cast<int32_t>(y + j), c);
    }
  }
}

bool WritePng(const Image& image, const std::string& path, std::string* why) {
  if (image.Empty()) {
    if (why != nullptr) *why = "nothing to write";
    return false;
  }
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  png.width = static_cast<png_uint_32>(image.Width());
  png.height = static_cast<png_uint_32>(image.Height());
  png.format = PNG_FORMAT_RGBA;
  // Encoded in memory first, so that the file is replaced whole or not at all.
  png_alloc_size_t size = 0;
  std::string bytes;
  if (png_image_write_get_memory_size(png, size, 0, image.Bytes().data(), 0, nullptr) != 0) {
    bytes.resize(size);
    if (png_image_write_to_memory(&png, bytes.data(), &size, 0, image.Bytes().data(), 0, nullptr) == 0) size = 0;
  }
  if (size == 0) {
    if (why != nullptr) *why = png.message[0] != '\0' ? png.message : "cannot encode";
    png_image_free(&png);
    return false;
  }
  bytes.resize(size);
  const std::string failure = host::WriteFileAtomically(path, bytes);
  if (why != nullptr) *why = failure;
  return failure.empty();
}

}  // namespace tess::gui
