// Linear colour images and their 8-bit sRGB PNG form.
#ifndef TESSALINE_HOSTAPP_RENDER_IMAGE_H
#define TESSALINE_HOSTAPP_RENDER_IMAGE_H

#include <cstdint>
#include <string>
#include <vector>

#include "host/c4d_host.h"

namespace tess::render {

struct Image {
  int width = 0;
  int height = 0;
  std::vector<HostVector> pixels;  // row by row from the top, linear RGB
  Image() = default;
  Image(int w, int h) : width(w), height(h), pixels(static_cast<size_t>(w) * static_cast<size_t>(h)) {}
  HostVector& At(int x, int y) {
    return pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
  }
};

struct Image8 {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgb;
};

// Linear to sRGB-encoded bytes; `encodeSrgb` false stores values as they are
// (normals are data, not light).
Image8 ToBytes(const Image& image, bool encodeSrgb);
// Empty on success, else one line naming the file.
std::string WritePng(const std::string& path, const Image8& image);
// The PNG file's bytes; empty if libpng refuses.
std::string EncodePng(const Image8& image);
std::string ReadPng(const std::string& path, Image8& image);

}  // namespace tess::render

#endif
