// The render loop: worker threads with fixed render thread indices take
// tiles from an atomic counter and shade stratified pixel samples.
#ifndef TESSALINE_HOSTAPP_RENDER_RENDERER_H
#define TESSALINE_HOSTAPP_RENDER_RENDERER_H

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "hostapp/render/image.h"
#include "hostapp/render/shading.h"

namespace tess::render {

class WorkerPool;

constexpr int maxThreads = 1024;

// Lets another thread stop a render early and watch it advance. A stopped
// render returns a frame whose unfinished tiles are black.
struct RenderControl {
  std::atomic<bool> cancel{false};
  std::atomic<int> tilesDone{0};
  std::atomic<int> tiles{0};
  // Workers run at a lower priority, so that a server's request threads
  // answer quickly while a preview renders on every core.
  bool background = false;
};

struct RenderSettings {
  int width = 640;
  int height = 480;
  int samples = 4;
  int threads = 1;  // render thread indices 0 .. threads - 1
  // Renders on these workers, whose count then sets the render thread
  // indices, instead of threads started for this frame alone.
  WorkerPool* pool = nullptr;
  bool progress = false;  // a bar on stderr
  // Outputs beside the colour, each filled only when asked for.
  bool normals = false;   // Frame::normals
  bool albedo = false;    // Frame::albedo
  bool depth = false;     // Frame::depth
  bool coverage = false;  // Frame::coverage
  bool objects = false;   // Frame::objects
  RenderControl* control = nullptr;
  // Seen through this camera instead of the scene's: a preview frames the
  // scene for its pane's shape.
  const CameraSetup* camera = nullptr;
  // Shades only samples [sampleBegin, sampleEnd) of the pixel's `samples`
  // (0: to the last), still weighted 1 / samples, and adds them to
  // `previous`'s pixels: passes that together cover the set sum in the order
  // and to the value of one render of all of it.
  int sampleBegin = 0, sampleEnd = 0;
  const Image* previous = nullptr;
  // For a caller that adds passes up: normals and albedo become sums over
  // the samples shaded (normals of hits unnormalised, albedo unweighted),
  // added to these sums of the passes before, if given. The caller divides
  // and normalises once it shows them.
  bool outputSums = false;
  const FloatImage* previousNormals = nullptr;
  const FloatImage* previousAlbedo = nullptr;
};

struct RenderStats {
  uint64_t shadedSamples = 0;
  uint64_t cameraRays = 0;
  uint64_t shadowRays = 0;
  uint64_t shaderTraces = 0;  // traces the shaders asked for
  // Adjacency tables the host built from shader preparation to release:
  // one per shaded polygon object, however many threads shade it.
  uint64_t adjacencyBuilds = 0;
  double seconds = 0.0;
  int threadsStarted = 0;
};

// Each output is averaged over the pixel's samples as the colour is: the
// same samples, the same weights.
struct Frame {
  Image color;
  // N: the unit shading normal in world space, the normalised mean of the
  // samples' normals; zero where no sample hit anything.
  FloatImage normals;
  // The colour channel's result before lighting, misses counting as black;
  // Draw Edge's lines on their own.
  FloatImage albedo;
  // Z: the mean distance from the camera of the samples that hit, along
  // their rays; +infinity where none hit.
  FloatImage depth;
  // The share of the samples that hit something: 1 inside, fractions on
  // silhouettes against the background.
  FloatImage coverage;
  // Per pixel, row by row from the top: the index of the scene object the
  // pixel's first sample (k = 0) hit, -1 where it hit nothing. Left empty by
  // a render that starts past sample 0 (sampleBegin > 0): it has no such sample.
  std::vector<int32_t> objects;
  RenderStats stats;
  bool cancelled = false;
};

// Throws OutOfMemory when the images do not fit.
Frame RenderFrame(const RenderContext& context, const RenderSettings& settings);

// Render preparation of every channel's node, in scene order. On a failure
// the nodes prepared so far are released again and the message names the
// shader, the channel and its code.
std::string PrepareShaders(const Scene& scene, int threads);
void FreeShaders(const Scene& scene);

}  // namespace tess::render

#endif
