// Renders on many threads at once: the images must not depend on the thread
// count, and the ray sampling method, whose per-thread patterns make its
// image depend on the thread layout, must complete soundly. Under
// ThreadSanitizer these are the checks that the module's per-thread slots
// share nothing.
#include <cmath>
#include <cstring>

#include "hostapp/render/worker_pool.h"
#include "tests/render/render_fixture.h"

namespace tess::test {
namespace {

const char* threadScene = R"({"camera": {"position": [0, 3, 8], "target": [0, 0, 0], "fov": 35},
  "image": {"width": 96, "height": 64, "samples": 2},
  "objects": [
    {"mesh": {"primitive": "cube", "size": 1.6}, "position": [-1.2, 0, 0], "rotation": [0, 30, 0],
     "material": {"normal": {"shader": "SoftEdge", "params": {"SOFTEDGE_RADIUS": 0.3}}}},
    {"mesh": {"primitive": "torus", "size": 2, "segments": 10}, "position": [1.2, 0, 0], "rotation": [60, 0, 0],
     "material": {"color": {"shader": "DrawEdge", "params": {"DRAWEDGE_WIDTH": 0.05}},
                  "bump": {"shader": "DrawEdge", "strength": 4, "params": {"DRAWEDGE_WIDTH": 0.1}}}}]})";

TEST_F(RenderTest, ImagesDoNotDependOnTheThreadCount) {
  const render::Scene& scene = Read(threadScene);
  const render::Image8 one = Render(scene, 1);
  EXPECT_EQ(one.rgb, Render(scene, 4).rgb);
  // More threads than render thread slots in the module: indices from 256 up.
  EXPECT_EQ(one.rgb, Render(scene, 300).rgb);
}

const char* samplingScene = R"({"camera": {"position": [0, 3, 8], "target": [0, 0, 0], "fov": 35},
  "image": {"width": 96, "height": 64, "samples": 2},
  "objects": [
    {"mesh": {"primitive": "cube", "size": 1.6}, "position": [-0.6, 0, 0], "rotation": [0, 30, 0],
     "material": {"normal": {"shader": "SoftEdge",
                             "params": {"SOFTEDGE_METHOD": 1, "SOFTEDGE_RADIUS": 0.4, "SOFTEDGE_SAMPLES": 16}}}},
    {"mesh": {"primitive": "cylinder", "size": 1, "segments": 12}, "position": [0.6, 0.4, 0],
     "material": {"normal": {"shader": "SoftEdge", "params": {"SOFTEDGE_METHOD": 1, "SOFTEDGE_RADIUS": 0.4}},
                  "color": {"shader": "DrawEdge", "params": {"DRAWEDGE_WIDTH": 0.05}}}}]})";

TEST_F(RenderTest, RaySamplingRendersOnManyThreads) {
  const render::Scene& scene = Read(samplingScene);
  const render::Image8 one = Render(scene, 1);
  for (int threads : {4, 300}) {
    const render::Image8 many = Render(scene, threads);
    ASSERT_EQ(many.rgb.size(), one.rgb.size());
    // Patterns differ per thread, so only nearly all pixels agree.
    size_t far = 0;
    for (size_t i = 0; i < one.rgb.size(); ++i) far += std::abs(int(one.rgb[i]) - int(many.rgb[i])) > 48;
    EXPECT_LT(far, one.rgb.size() / 50) << threads << " threads";
  }
}

// The frame and its counts on `pool`, several times over the same workers,
// against a frame rendered on threads of its own with `threads`.
void ExpectPooledFramesMatch(const render::Scene& scene, int threads, render::WorkerPool& pool) {
  render::RenderSettings s;
  s.width = scene.image.width;
  s.height = scene.image.height;
  s.samples = scene.image.samples;
  s.threads = threads;
  const render::RenderOutcome own = render::RenderScene(scene, s);
  ASSERT_EQ(own.error, "");
  s.pool = &pool;
  for (int frame = 0; frame < 3; ++frame) {
    const render::RenderOutcome pooled = render::RenderScene(scene, s);
    ASSERT_EQ(pooled.error, "");
    const auto& pixels = pooled.frame.color.pixels;
    ASSERT_EQ(pixels.size(), own.frame.color.pixels.size());
    EXPECT_EQ(std::memcmp(pixels.data(), own.frame.color.pixels.data(), pixels.size() * sizeof pixels[0]), 0)
        << "frame " << frame << " differs from the frame on its own threads";
    // Each frame counts its own rays alone, however many came before.
    const render::RenderStats &a = own.frame.stats, &b = pooled.frame.stats;
    EXPECT_EQ(b.threadsStarted, pool.Threads());
    EXPECT_EQ(b.shadedSamples, a.shadedSamples);
    EXPECT_EQ(b.cameraRays, a.cameraRays);
    EXPECT_EQ(b.shadowRays, a.shadowRays);
    EXPECT_EQ(b.shaderTraces, a.shaderTraces);
  }
}

TEST_F(RenderTest, FramesOnAWorkerPoolMatchFramesOnTheirOwnThreads) {
  render::WorkerPool three(3, false);
  ExpectPooledFramesMatch(Read(threadScene), 4, three);
  // Ray sampling's patterns follow the thread layout: one thread has one.
  render::WorkerPool one(1, false);
  const render::Scene& sampling = Read(samplingScene);
  ExpectPooledFramesMatch(sampling, 1, one);
  render::RenderSettings s;
  s.width = 8;
  s.height = 8;
  s.samples = 1;
  s.pool = &one;
  EXPECT_GT(render::RenderScene(sampling, s).frame.stats.shaderTraces, 0u);
}

}  // namespace
}  // namespace tess::test
