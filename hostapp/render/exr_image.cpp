#include "hostapp/render/exr_image.h"

#include <OpenEXR/ImfChannelList.h>
#include <OpenEXR/ImfFrameBuffer.h>
#include <OpenEXR/ImfHeader.h>
#include <OpenEXR/ImfOutputFile.h>
#include <OpenEXR/ImfStdIO.h>

#include <algorithm>
#include <cctype>
#include <exception>
#include <filesystem>
#include <vector>

#include "hostapp/services/atomic_file.h"

namespace tess::render {
namespace {

struct Layer {
  std::string name;
  const float* values;
  int stride;  // floats from one pixel to the next
};

// The colour in floats, as OpenEXR's slices want it, less the background
// where samples missed: colour = hit part + (1 - A) background.
FloatImage Premultiplied(const Image& color, const FloatImage& alpha, const HostVector& background) {
  FloatImage out(color.width, color.height, 3);
  for (size_t i = 0; i < color.pixels.size(); ++i) {
    const double a = alpha.values[i];
    HostVector c = color.pixels[i];
    if (a <= 0.0) {
      c = {0, 0, 0};
    } else if (a < 1.0) {
      c = {c.x - (1.0 - a) * background.x, c.y - (1.0 - a) * background.y, c.z - (1.0 - a) * background.z};
    }
    out.values[3 * i] = static_cast<float>(c.x);
    out.values[3 * i + 1] = static_cast<float>(c.y);
    out.values[3 * i + 2] = static_cast<float>(c.z);
  }
  return out;
}

void AddThree(std::vector<Layer>& layers, const FloatImage& image, const std::string& prefix, const char* names) {
  if (image.Empty()) return;
  for (int c = 0; c < 3; ++c) layers.push_back(Layer{prefix + names[c], image.values.data() + c, image.channels});
}

std::string Encode(int width, int height, const std::vector<Layer>& layers) {
  Imf::Header header(width, height);
  header.compression() = Imf::ZIP_COMPRESSION;
  Imf::FrameBuffer buffer;
  for (const Layer& layer : layers) {
    header.channels().insert(layer.name, Imf::Channel(Imf::FLOAT));
    const size_t xStride = sizeof(float) * static_cast<size_t>(layer.stride);
    // OpenEXR takes a non-const base pointer for reading and writing alike;
    // an output file only reads through it.
    buffer.insert(layer.name, Imf::Slice(Imf::FLOAT, reinterpret_cast<char*>(const_cast<float*>(layer.values)), xStride,
                                         xStride * static_cast<size_t>(width)));
  }
  Imf::StdOSStream stream;
  {
    Imf::OutputFile file(stream, header);
    file.setFrameBuffer(buffer);
    file.writePixels(height);
  }  // the file's end (its offset table) is written when it closes
  return stream.str();
}

}  // namespace

bool IsExrPath(const std::string& path) {
  std::string extension = std::filesystem::path(path).extension().string();
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return extension == ".exr";
}

std::string WriteExr(const std::string& path, const Frame& frame, const HostVector& background) {
  const int width = frame.color.width, height = frame.color.height;
  FloatImage alpha = frame.coverage;
  if (alpha.Empty()) {
    alpha = FloatImage(width, height, 1);
    std::fill(alpha.values.begin(), alpha.values.end(), 1.0f);
  }
  const FloatImage colour = Premultiplied(frame.color, alpha, background);
  std::vector<Layer> layers;
  AddThree(layers, colour, "", "RGB");
  layers.push_back(Layer{"A", alpha.values.data(), 1});
  AddThree(layers, frame.normals, "N.", "XYZ");
  AddThree(layers, frame.albedo, "albedo.", "RGB");
  if (!frame.depth.Empty()) layers.push_back(Layer{"Z", frame.depth.values.data(), 1});
  std::string bytes;
  try {
    bytes = Encode(width, height, layers);
  } catch (const std::exception& e) {
    return path + ": cannot encode the image (" + e.what() + ")";
  }
  return host::WriteFileOrSay(path, bytes);
}

}  // namespace tess::render
