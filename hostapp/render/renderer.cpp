#include "hostapp/render/renderer.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <limits>
#include <system_error>
#include <thread>

#include "hostapp/render/camera.h"
#include "hostapp/render/out_of_memory.h"
#include "hostapp/render/worker_pool.h"
#include "hostapp/assets/vec.h"

namespace tess::render {
namespace {

constexpr int tileSize = 16;

struct Job {
  const RenderContext& context;
  const RenderSettings& settings;
  Camera camera;
  Frame& frame;
  int tilesX, tiles;
  std::atomic<int> next{0};
  std::atomic<int> done{0};
};

bool Cancelled(const Job& job) {
  return job.settings.control != nullptr && job.settings.control->cancel.load(std::memory_order_relaxed);
}

// The outputs beside the colour, summed over one pixel's samples.
struct OutputSums {
  Vec normal{0, 0, 0}, albedo{0, 0, 0};
  double distance = 0.0;
  int hits = 0, samples = 0;

  void Add(const SampleResult& r) {
    ++samples;
    if (!r.hit) return;
    ++hits;
    normal = normal + r.normal;
    albedo = albedo + r.albedo;
    distance += r.distance;
  }

  void Store(Frame& frame, const RenderSettings& s, int x, int y) const {
    const double share = samples > 0 ? 1.0 / samples : 0.0;
    if (s.outputSums) {
      StoreSums(frame, s, x, y);
    } else {
      if (s.normals) Put(frame.normals.At(x, y), hits > 0 ? Normalize(normal) : normal);
      if (s.albedo) Put(frame.albedo.At(x, y), albedo * share);
    }
    if (s.depth)
      *frame.depth.At(x, y) = hits > 0 ? static_cast<float>(distance / hits) : std::numeric_limits<float>::infinity();
    if (s.coverage) *frame.coverage.At(x, y) = static_cast<float>(hits * share);
  }

 private:
  static void Put(float* to, const Vec& v) {
    to[0] = static_cast<float>(v.x);
    to[1] = static_cast<float>(v.y);
    to[2] = static_cast<float>(v.z);
  }
  static Vec Get(const FloatImage* image, int x, int y) {
    if (image == nullptr) return {0, 0, 0};
    const float* v = image->At(x, y);
    return {v[0], v[1], v[2]};
  }
  void StoreSums(Frame& frame, const RenderSettings& s, int x, int y) const {
    if (s.normals) Put(frame.normals.At(x, y), Get(s.previousNormals, x, y) + normal);
    if (s.albedo) Put(frame.albedo.At(x, y), Get(s.previousAlbedo, x, y) + albedo);
  }
};

void RenderTile(Job& job, SampleShader& shader, int tile) {
  const RenderSettings& s = job.settings;
  const int x0 = (tile % job.tilesX) * tileSize, y0 = (tile / job.tilesX) * tileSize;
  const double weight = 1.0 / s.samples;
  const int end = s.sampleEnd > 0 ? s.sampleEnd : s.samples;
  // Checked every row as well as every tile: one tile of a sampling shader at
  // many samples takes long enough for an edit to notice the wait.
  for (int y = y0; y < std::min(y0 + tileSize, s.height) && !Cancelled(job); ++y)
    for (int x = x0; x < std::min(x0 + tileSize, s.width); ++x) {
      const size_t pixel = static_cast<size_t>(y) * static_cast<size_t>(s.width) + static_cast<size_t>(x);
      Vec colour = s.previous != nullptr ? s.previous->pixels[pixel] : Vec{0, 0, 0};
      // The other outputs average the samples of this range alone.
      OutputSums outputs;
      for (int k = s.sampleBegin; k < end; ++k) {
        double dx = 0.5, dy = 0.5;
        PixelSample(x, y, k, s.samples, dx, dy);
        const SampleResult r = shader.Shade(job.camera.Origin(), job.camera.Direction(x + dx, y + dy));
        colour = colour + r.color * weight;
        outputs.Add(r);
        if (k == 0 && s.objects) job.frame.objects[pixel] = r.object;
      }
      // Each pixel belongs to one tile, so workers never write the same pixel.
      job.frame.color.At(x, y) = colour;
      outputs.Store(job.frame, s, x, y);
    }
}

struct WorkerCounts {
  uint64_t shaded = 0, camera = 0, shadow = 0, traces = 0;
};

// A pool's workers set their priority once, as they start.
void Work(Job& job, int32_t threadIndex, WorkerCounts& counts) {
  if (job.settings.pool == nullptr && job.settings.control != nullptr && job.settings.control->background)
    LowerThreadPriority();
  SampleShader shader(job.context, threadIndex);
  EmbreeTracer::TakeThreadCount();
  for (int tile = job.next.fetch_add(1); tile < job.tiles && !Cancelled(job); tile = job.next.fetch_add(1)) {
    RenderTile(job, shader, tile);
    job.done.fetch_add(1);
    if (job.settings.control != nullptr) job.settings.control->tilesDone.fetch_add(1, std::memory_order_relaxed);
  }
  counts = WorkerCounts{shader.shadedSamples, shader.cameraRays, shader.shadowRays, EmbreeTracer::TakeThreadCount()};
}

Image NewImage(const RenderSettings& s, const std::string& what) {
  const uint64_t bytes =
      uint64_t{sizeof(HostVector)} * static_cast<uint64_t>(s.width) * static_cast<uint64_t>(s.height);
  return Allocate(what + " of " + std::to_string(s.width) + " x " + std::to_string(s.height) + " pixels", bytes,
                  [&] { return Image(s.width, s.height); });
}

FloatImage NewFloatImage(const RenderSettings& s, int channels, const std::string& what) {
  const uint64_t bytes = uint64_t{sizeof(float)} * static_cast<uint64_t>(channels) * static_cast<uint64_t>(s.width) *
                         static_cast<uint64_t>(s.height);
  return Allocate(what + " of " + std::to_string(s.width) + " x " + std::to_string(s.height) + " pixels", bytes,
                  [&] { return FloatImage(s.width, s.height, channels); });
}

std::vector<int32_t> NewObjectMap(const RenderSettings& s) {
  const auto pixels = static_cast<size_t>(s.width) * static_cast<size_t>(s.height);
  return Allocate("the object map of " + std::to_string(s.width) + " x " + std::to_string(s.height) + " pixels",
                  uint64_t{sizeof(int32_t)} * pixels, [&] { return std::vector<int32_t>(pixels, -1); });
}

void ShowProgress(int done, int total) {
  const int width = 40, filled = total > 0 ? done * width / total : width;
  std::fprintf(stderr, "\rrendering [%.*s%*s] %3d%%", filled,
               "========================================", width - filled, "", total > 0 ? done * 100 / total : 100);
  std::fflush(stderr);
}

}  // namespace

Frame RenderFrame(const RenderContext& context, const RenderSettings& settings) {
  Frame frame;
  frame.color = NewImage(settings, "the image");
  if (settings.normals) frame.normals = NewFloatImage(settings, 3, "the normals image");
  if (settings.albedo) frame.albedo = NewFloatImage(settings, 3, "the albedo image");
  if (settings.depth) frame.depth = NewFloatImage(settings, 1, "the depth image");
  if (settings.coverage) frame.coverage = NewFloatImage(settings, 1, "the coverage image");
  if (settings.objects && settings.sampleBegin == 0) frame.objects = NewObjectMap(settings);
  const CameraSetup& view = settings.camera != nullptr ? *settings.camera : context.scene.camera;
  Job job{context,
          settings,
          Camera(view, settings.width, settings.height),
          frame,
          (settings.width + tileSize - 1) / tileSize,
          0};
  job.tiles = job.tilesX * ((settings.height + tileSize - 1) / tileSize);
  if (settings.control != nullptr) {
    settings.control->tilesDone.store(0);
    settings.control->tiles.store(job.tiles);
  }

  const auto start = std::chrono::steady_clock::now();
  const auto showProgress = [&] {
    while (settings.progress && job.done.load() < job.tiles && !Cancelled(job)) {
      ShowProgress(job.done.load(), job.tiles);
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
  };
  std::vector<WorkerCounts> counts;
  int started = 0;
  if (settings.pool != nullptr) {
    started = settings.pool->Threads();
    counts.resize(static_cast<size_t>(std::max(started, 1)));
    settings.pool->Start([&](int index) { Work(job, index, counts[static_cast<size_t>(index)]); });
    showProgress();
    settings.pool->Wait();
  } else {
    counts.resize(static_cast<size_t>(std::max(settings.threads, 1)));
    std::vector<std::thread> workers;
    workers.reserve(counts.size());
    for (int i = 0; i < settings.threads; ++i) {
      try {
        workers.emplace_back(Work, std::ref(job), i, std::ref(counts[static_cast<size_t>(i)]));
      } catch (const std::system_error&) {
        break;  // the threads that did start take every tile between them
      }
    }
    if (workers.empty()) Work(job, 0, counts[0]);
    showProgress();
    for (std::thread& w : workers) w.join();
    started = static_cast<int>(workers.size());
  }
  if (settings.progress) {
    ShowProgress(job.tiles, job.tiles);
    std::fputc('\n', stderr);
  }
  frame.cancelled = Cancelled(job) && job.done.load() < job.tiles;
  frame.stats.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  frame.stats.threadsStarted = std::max(started, 1);
  for (const WorkerCounts& c : counts) {
    frame.stats.shadedSamples += c.shaded;
    frame.stats.cameraRays += c.camera;
    frame.stats.shadowRays += c.shadow;
    frame.stats.shaderTraces += c.traces;
  }
  return frame;
}

std::string PrepareShaders(const Scene& scene, int threads) {
  const HostInitRender setup{nullptr, threads};
  const auto channels = scene.Channels();
  for (size_t i = 0; i < channels.size(); ++i) {
    const int32_t code = channels[i]->shader->InitRender(setup);
    if (code != HOST_INITRENDER_OK) {
      for (size_t k = 0; k < i; ++k) channels[k]->shader->FreeRender();
      return "shader " + channels[i]->shader->Name() + " (" + channels[i]->where +
             ") failed to prepare the render: code " + std::to_string(code);
    }
  }
  return {};
}

void FreeShaders(const Scene& scene) {
  for (const Channel* c : scene.Channels()) c->shader->FreeRender();
}

}  // namespace tess::render
