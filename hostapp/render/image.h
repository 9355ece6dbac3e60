// Linear colour images and their 8-bit sRGB PNG form; float images of data
// (normals, albedo, depth) for the outputs people composite with.
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

// `channels` 32-bit floats per pixel, row by row from the top.
struct FloatImage {
  int width = 0;
  int height = 0;
  int channels = 0;
  std::vector<float> values;
  FloatImage() = default;
  FloatImage(int w, int h, int c)
      : width(w), height(h), channels(c), values(static_cast<size_t>(w) * static_cast<size_t>(h) * c) {}
  float* At(int x, int y) {
    return values.data() + (static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * channels;
  }
  const float* At(int x, int y) const {
    return values.data() + (static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * channels;
  }
  bool Empty() const { return values.empty(); }
};

struct Image8 {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgb;
};

// Linear to sRGB-encoded bytes; `encodeSrgb` false stores values as they are
// (normals are data, not light).
Image8 ToBytes(const Image& image, bool encodeSrgb);
// Three channels of values in 0 .. 1 as they are (albedo).
Image8 ToBytes(const FloatImage& image);
// Unit normals as colours: 0.5 n + 0.5 per component.
Image8 NormalBytes(const FloatImage& normals);
// Empty on success, else one line naming the file. The file is replaced
// whole or left as it was (WriteFileAtomically).
std::string WritePng(const std::string& path, const Image8& image);
// The PNG file's bytes; empty if libpng refuses.
std::string EncodePng(const Image8& image);
std::string ReadPng(const std::string& path, Image8& image);

}  // namespace tess::render

#endif
