#include "hostapp/render/image.h"

#include <png.h>

#include <algorithm>
#include <cmath>

#include "hostapp/services/atomic_file.h"

namespace tess::render {
namespace {

double Srgb(double v) {
  v = std::clamp(v, 0.0, 1.0);
  return v <= 0.0031308 ? 12.92 * v : 1.055 * std::pow(v, 1.0 / 2.4) - 0.055;
}

uint8_t Byte(double v) {
  return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255.0));
}

}  // namespace

Image8 ToBytes(const Image& image, bool encodeSrgb) {
  Image8 out{image.width, image.height, {}};
  out.rgb.reserve(image.pixels.size() * 3);
  for (const HostVector& p : image.pixels)
    for (const double c : {p.x, p.y, p.z}) out.rgb.push_back(Byte(encodeSrgb ? Srgb(c) : c));
  return out;
}

Image8 ToBytes(const FloatImage& image) {
  Image8 out{image.width, image.height, {}};
  out.rgb.reserve(static_cast<size_t>(image.width) * static_cast<size_t>(image.height) * 3);
  for (size_t i = 0; i + 2 < image.values.size(); i += static_cast<size_t>(image.channels))
    for (size_t c = 0; c < 3; ++c) out.rgb.push_back(Byte(image.values[i + c]));
  return out;
}

Image8 NormalBytes(const FloatImage& normals) {
  Image8 out{normals.width, normals.height, {}};
  out.rgb.reserve(static_cast<size_t>(normals.width) * static_cast<size_t>(normals.height) * 3);
  for (size_t i = 0; i + 2 < normals.values.size(); i += static_cast<size_t>(normals.channels))
    for (size_t c = 0; c < 3; ++c) out.rgb.push_back(Byte(normals.values[i + c] * 0.5 + 0.5));
  return out;
}

std::string WritePng(const std::string& path, const Image8& image) {
  const std::string bytes = EncodePng(image);
  if (bytes.empty()) return path + ": cannot encode the image";
  return host::WriteFileOrSay(path, bytes);
}

std::string EncodePng(const Image8& image) {
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  png.width = static_cast<png_uint_32>(image.width);
  png.height = static_cast<png_uint_32>(image.height);
  png.format = PNG_FORMAT_RGB;
  png_alloc_size_t size = 0;
  if (png_image_write_get_memory_size(png, size, 0, image.rgb.data(), 0, nullptr) == 0) return {};
  std::string bytes(size, '\0');
  if (png_image_write_to_memory(&png, bytes.data(), &size, 0, image.rgb.data(), 0, nullptr) == 0) return {};
  bytes.resize(size);
  return bytes;
}

std::string ReadPng(const std::string& path, Image8& image) {
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  if (png_image_begin_read_from_file(&png, path.c_str()) == 0)
    return path + ": cannot read the image (" + png.message + ")";
  png.format = PNG_FORMAT_RGB;
  image.width = static_cast<int>(png.width);
  image.height = static_cast<int>(png.height);
  image.rgb.assign(PNG_IMAGE_SIZE(png), 0);
  if (png_image_finish_read(&png, nullptr, image.rgb.data(), 0, nullptr) == 0) {
    png_image_free(&png);
    return path + ": cannot read the image (" + png.message + ")";
  }
  return {};
}

}  // namespace tess::render
