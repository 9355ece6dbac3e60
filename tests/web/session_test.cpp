// The render session while its threads run: stopped generations send nothing
// more, edits made between random stops, view changes and cancellations show
// in the next generation, whose last pass is the image a plain render of the
// same scene gives; an exception on the render thread becomes an error and
// the session goes on; every pass renders on the threads the session started
// once. ThreadSanitizer runs these.
#include <gtest/gtest.h>

#include <unistd.h>

#include <condition_variable>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <random>

#include "hostapp/render/camera.h"
#include "hostapp/render/image.h"
#include "hostapp/render/module_host.h"
#include "hostapp/render/pipeline.h"
#include "hostapp/render/worker_pool.h"
#include "hostapp/scene/demo_scene.h"
#include "hostapp/scene/scene_reader.h"
#include "hostapp/scene/shader_reader.h"
#include "hostapp/services/services.h"
#include "hostapp/web/render_session.h"
#include "tests/live_threads.h"

namespace tess::test {
namespace {

using web::Pass;
using web::RenderSession;

class RenderSessionTest : public ::testing::Test {
 protected:
  static constexpr int width = 96, height = 54, threads = 4;

  void SetUp() override {
    host::ResetServices();
    ASSERT_EQ(module.Start(TESSALINE_MODULE), "");
    // Without the demo's ray-sampled cube: its shader draws random directions
    // per render thread, so only the rest renders the same bytes every time.
    render::Json text = render::Json::parse(render::DemoSceneText());
    text["objects"].erase(3);
    render::SceneResult read = render::ReadSceneText(text.dump(), ".", "demo scene");
    ASSERT_TRUE(read.scene) << read.error;
    scene = std::move(read.scene);
    RenderSession::Listener listener;
    listener.pass = [this](const Pass& pass) { Arrived(pass); };
    listener.error = [this](uint64_t generation, const std::string& message) {
      std::lock_guard<std::mutex> lock(mutex);
      errors.emplace_back(generation, message);
      arrived.notify_all();
    };
    session = std::make_unique<RenderSession>(*scene, threads, listener);
    ASSERT_EQ(session->Error(), "");
  }

  void TearDown() override {
    session.reset();
    scene.reset();
    EXPECT_EQ(module.Finish(), "");
  }

  void Arrived(const Pass& pass) {
    std::lock_guard<std::mutex> lock(mutex);
    // Passes come in order: a generation never follows a newer one, and its
    // passes count up from the first.
    const bool continues = !passes.empty() && pass.generation == passes.back().generation;
    if (!passes.empty()) {
      EXPECT_GE(pass.generation, passes.back().generation);
    }
    EXPECT_EQ(pass.index, continues ? passes.back().index + 1 : 0);
    passes.push_back(pass);
    liveThreads.push_back(LiveThreads());
    arrived.notify_all();
  }

  // The final pass of the generation, waiting at most a minute.
  Pass FinalPass(uint64_t generation) {
    std::unique_lock<std::mutex> lock(mutex);
    const bool done = arrived.wait_for(lock, std::chrono::seconds(60), [&] {
      return !passes.empty() && passes.back().generation == generation && passes.back().Final();
    });
    EXPECT_TRUE(done) << "generation " << generation << " did not finish";
    return done ? passes.back() : Pass{};
  }

  size_t PassCount() {
    std::lock_guard<std::mutex> lock(mutex);
    return passes.size();
  }

  void SetRadius(double radius) {
    auto& node = *scene->objects[2].material.normal.shader;
    const auto description = host::Services().descriptions.Of(node.pluginId);
    render::SetParameter(node, *description->FindBySymbol("SOFTEDGE_RADIUS"), radius, "radius", *scene);
  }

  // The same scene rendered once, outside the session, at the final pass's
  // settings, framed as the scene's own image frames it.
  render::Image8 PlainRender(int w, int h) {
    render::RenderSettings settings;
    settings.width = w;
    settings.height = h;
    settings.samples = session->Controls().samples;
    settings.threads = threads;
    const render::CameraSetup fitted =
        render::FitCamera(scene->camera, static_cast<double>(scene->image.width) / scene->image.height, w, h);
    settings.camera = &fitted;
    const render::RenderOutcome outcome = render::RenderScene(*scene, settings);
    EXPECT_EQ(outcome.error, "");
    return render::ToBytes(outcome.frame.color, true);
  }

  static render::Image8 Decode(const std::string& png) {
    const std::string file = testing::TempDir() + "tessaline-session-" + std::to_string(::getpid()) + ".png";
    std::ofstream(file, std::ios::binary) << png;
    render::Image8 image;
    EXPECT_EQ(render::ReadPng(file, image), "");
    std::remove(file.c_str());
    return image;
  }

  render::ModuleHost module;
  std::unique_ptr<render::Scene> scene;
  std::unique_ptr<RenderSession> session;
  std::mutex mutex;
  std::condition_variable arrived;
  std::vector<Pass> passes;
  std::vector<size_t> liveThreads;  // as each pass arrived
  std::vector<std::pair<uint64_t, std::string>> errors;
};

TEST_F(RenderSessionTest, APausedGenerationSendsNothingMore) {
  session->SetView(width * 8, height * 8);  // long enough to be stopped on the way
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  session->Pause();
  const size_t sent = PassCount();
  EXPECT_FALSE(session->Progress().running);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(PassCount(), sent);
  if (sent > 0) {
    EXPECT_FALSE(passes.back().Final());
  }
}

TEST_F(RenderSessionTest, RandomEditsViewsAndCancellationsEndInThePlainRender) {
  std::mt19937 random(5);
  uint64_t generation = 0;
  int w = width, h = height;
  for (int step = 0; step < 24; ++step) {
    switch (random() % 3) {
      case 0:
        generation = session->Edit([&] { SetRadius(0.1 + 0.01 * step); });
        break;
      case 1:
        w = width - static_cast<int>(random() % 8);
        h = height - static_cast<int>(random() % 8);
        generation = session->SetView(w, h);
        break;
      default:
        session->Pause();
        generation = session->SetView(w, h);
        break;
    }
    // Changed at any point: while preparing, in a pass, between passes.
    std::this_thread::sleep_for(std::chrono::milliseconds(std::uniform_int_distribution<int>(0, 30)(random)));
  }
  const Pass last = FinalPass(generation);
  EXPECT_EQ(last.plan.width, w);
  session->Pause();
  ASSERT_NE(last.image, nullptr);
  const render::Image8 served = Decode(*last.image->Png());
  EXPECT_TRUE(served.rgb == PlainRender(w, h).rgb) << "the last pass differs from a plain render of the edited scene";
  EXPECT_TRUE(errors.empty());
}

TEST_F(RenderSessionTest, ViewChangesPrepareNoShadersAndEditsBuildNoAdjacency) {
  FinalPass(session->SetView(width, height));
  const uint64_t preparations = session->Preparations(), builds = session->AdjacencyBuilds();
  EXPECT_EQ(preparations, 1u);
  EXPECT_GT(builds, 0u);
  FinalPass(session->SetView(width + 8, height));
  EXPECT_EQ(session->Preparations(), preparations);
  FinalPass(session->Edit([&] { SetRadius(0.2); }));
  EXPECT_EQ(session->Preparations(), preparations + 1);
  EXPECT_EQ(session->AdjacencyBuilds(), builds);
}

TEST_F(RenderSessionTest, AnExceptionOnTheRenderThreadIsAnErrorAndTheSessionGoesOn) {
  FinalPass(session->SetView(width, height));
  session->InjectFault("a fault \xff of the test");
  const uint64_t failed = session->SetView(width, height);
  {
    std::unique_lock<std::mutex> lock(mutex);
    ASSERT_TRUE(arrived.wait_for(lock, std::chrono::seconds(60), [&] { return !errors.empty(); }));
    EXPECT_EQ(errors.back().first, failed);
    EXPECT_EQ(errors.back().second, "a fault \xEF\xBF\xBD of the test");
  }
  const Pass next = FinalPass(session->SetView(width, height));
  EXPECT_TRUE(next.Final());
  // The failed generation's shaders were released: the next prepared them again.
  EXPECT_EQ(session->Preparations(), 2u);
}

TEST_F(RenderSessionTest, EveryPassRendersOnTheThreadsTheSessionStarted) {
  const uint64_t started = render::WorkerPool::ThreadsStarted();
  const size_t live = LiveThreads();
  for (int i = 0; i < 6; ++i) {
    FinalPass(session->SetView(width + i, height));
    FinalPass(session->Edit([&] { SetRadius(0.1 + 0.02 * i); }));
  }
  session->Pause();
  EXPECT_EQ(render::WorkerPool::ThreadsStarted(), started);
  EXPECT_EQ(LiveThreads(), live);
  std::lock_guard<std::mutex> lock(mutex);
  EXPECT_GE(passes.size(), 12u * 4u);
  for (size_t i = 0; i < liveThreads.size(); ++i) EXPECT_EQ(liveThreads[i], live) << "pass " << i;
}

TEST_F(RenderSessionTest, KeepsTheRecentPassesAndTellsWhichRuns) {
  const uint64_t first = session->SetView(width, height);
  FinalPass(first);
  const uint64_t second = session->SetView(width, height);
  const Pass last = FinalPass(second);
  session->Pause();
  EXPECT_FALSE(session->Progress().running);
  EXPECT_EQ(session->Progress().generation, second);
  ASSERT_TRUE(session->Latest());
  EXPECT_EQ(session->Latest()->generation, second);
  EXPECT_FALSE(session->Find(first, 0));
  EXPECT_TRUE(session->Find(first, last.count - 1));
  EXPECT_TRUE(session->Find(second, 0));
  EXPECT_TRUE(session->Find(second, last.count - 1));
}

TEST_F(RenderSessionTest, ProgressOverallGrowsWithinAGenerationAndEndsAtOne) {
  const uint64_t generation = session->SetView(width * 4, height * 4);
  double last = 0.0;
  int seen = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  for (;;) {
    const web::RenderProgress p = session->Progress();
    if (p.generation == generation) {
      EXPECT_GE(p.overall, last) << "pass " << p.pass;
      EXPECT_LE(p.overall, 1.0);
      last = p.overall;
      ++seen;
    }
    {
      std::lock_guard<std::mutex> lock(mutex);
      if (!passes.empty() && passes.back().generation == generation && passes.back().Final()) break;
    }
    ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "the render did not finish";
    std::this_thread::yield();
  }
  EXPECT_GT(seen, 0);
  EXPECT_EQ(session->Progress().overall, 1.0);
}

TEST_F(RenderSessionTest, SamplesAndScaleRenderTheirPassesWithoutPreparingShaders) {
  FinalPass(session->SetView(width, height));
  const uint64_t preparations = session->Preparations();
  web::RenderControls controls;
  controls.samples = 4;
  controls.scale = 0.5;
  const Pass last = FinalPass(session->SetControls(controls));
  EXPECT_EQ(last.count, 3);
  EXPECT_EQ(last.plan.width, width / 2);
  EXPECT_EQ(last.plan.height, height / 2);
  EXPECT_EQ(last.plan.sampleEnd, 4);
  EXPECT_EQ(session->Preparations(), preparations);
  session->Pause();
  EXPECT_TRUE(Decode(*last.image->Png()).rgb == PlainRender(width / 2, height / 2).rgb);
}

TEST_F(RenderSessionTest, PausedControlsHoldEditsAndViewsUntilResumed) {
  session->SetView(width * 8, height * 8);
  {
    std::unique_lock<std::mutex> lock(mutex);
    ASSERT_TRUE(arrived.wait_for(lock, std::chrono::seconds(60), [&] { return !passes.empty(); }));
  }
  web::RenderControls controls;
  controls.paused = true;
  session->SetControls(controls);
  const size_t sent = PassCount();
  EXPECT_FALSE(session->Progress().running);
  // Taken while paused, rendered on resuming.
  session->SetView(width + 8, height);
  session->Edit([&] { SetRadius(0.27); });
  EXPECT_FALSE(session->Progress().running);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_EQ(PassCount(), sent) << "a pass came while paused";
  controls.paused = false;
  const Pass last = FinalPass(session->SetControls(controls));
  EXPECT_EQ(last.plan.width, width + 8);
  session->Pause();
  EXPECT_TRUE(Decode(*last.image->Png()).rgb == PlainRender(width + 8, height).rgb);
}

TEST_F(RenderSessionTest, ACameraEditKeepsThePreparedShaders) {
  const Pass before = FinalPass(session->SetView(width, height));
  const uint64_t preparations = session->Preparations();
  const Pass moved = FinalPass(session->Edit([&] { scene->camera.position.x += 0.7; }, nullptr, web::EditKind::View));
  EXPECT_EQ(session->Preparations(), preparations);
  session->Pause();
  // The moved camera shows: the plain render of the moved scene, not the image before.
  const render::Image8 image = Decode(*moved.image->Png());
  EXPECT_FALSE(image.rgb == Decode(*before.image->Png()).rgb);
  EXPECT_TRUE(image.rgb == PlainRender(width, height).rgb);
}

// The outputs of the final pass, summed over passes, against one render of
// every sample: normals and albedo agree to a level of rounding, and the
// object map is the first pass's at that size.
TEST_F(RenderSessionTest, AccumulatedOutputsMatchOneRenderOfAllSamples) {
  const Pass last = FinalPass(session->SetView(width, height));
  session->Pause();
  ASSERT_GE(last.count, 3);
  render::RenderSettings settings;
  settings.width = width;
  settings.height = height;
  settings.samples = last.plan.samples;
  settings.threads = threads;
  settings.normals = settings.albedo = settings.objects = true;
  const render::CameraSetup fitted =
      render::FitCamera(scene->camera, static_cast<double>(scene->image.width) / scene->image.height, width, height);
  settings.camera = &fitted;
  const render::RenderOutcome plain = render::RenderScene(*scene, settings);
  ASSERT_EQ(plain.error, "");
  const render::Image8 normals = Decode(*last.image->Png(web::Aov::Normal));
  const render::Image8 albedo = Decode(*last.image->Png(web::Aov::Albedo));
  const render::Image8 objects = Decode(*last.image->Png(web::Aov::Object));
  const render::Image8 plainNormals = render::NormalBytes(plain.frame.normals);
  render::Image plainAlbedo(width, height);
  for (size_t i = 0; i < plainAlbedo.pixels.size(); ++i)
    plainAlbedo.pixels[i] = {plain.frame.albedo.values[i * 3], plain.frame.albedo.values[i * 3 + 1],
                             plain.frame.albedo.values[i * 3 + 2]};
  const render::Image8 plainAlbedoBytes = render::ToBytes(plainAlbedo, true);
  ASSERT_EQ(normals.rgb.size(), plainNormals.rgb.size());
  int hits = 0;
  for (size_t i = 0; i < plain.frame.objects.size(); ++i) {
    const int32_t object = plain.frame.objects[i];
    EXPECT_EQ(objects.rgb[i * 3 + 2], static_cast<uint8_t>(object + 1)) << "pixel " << i;
    const float* n = plain.frame.normals.values.data() + i * 3;
    if (n[0] == 0.0f && n[1] == 0.0f && n[2] == 0.0f) continue;  // no sample hit: black in the preview
    ++hits;
    for (size_t c = 0; c < 3; ++c) {
      EXPECT_NEAR(normals.rgb[i * 3 + c], plainNormals.rgb[i * 3 + c], 1) << "pixel " << i;
      EXPECT_NEAR(albedo.rgb[i * 3 + c], plainAlbedoBytes.rgb[i * 3 + c], 1) << "pixel " << i;
    }
  }
  EXPECT_GT(hits, width * height / 4);
  ASSERT_TRUE(session->Find(last.generation, 1));
  EXPECT_EQ(*session->Find(last.generation, 1)->image->Png(web::Aov::Object), *last.image->Png(web::Aov::Object));
}

TEST(PassPlan, FullSizePassesSplitOneSampleSetInOrderWithoutRepeatingACount) {
  const std::pair<int, std::vector<int>> cases[] = {{16, {1, 4, 16}}, {1, {1}},       {2, {1, 2}},
                                                    {4, {1, 4}},      {5, {1, 4, 5}}, {256, {1, 4, 256}}};
  for (const auto& [samples, ends] : cases) {
    const auto passes = web::PassesFor(900, 760, samples);
    ASSERT_EQ(passes.size(), ends.size() + 1) << samples << " samples";
    EXPECT_EQ(passes[0].width, 225);
    EXPECT_EQ(passes[0].height, 190);
    EXPECT_EQ(passes[0].sampleEnd, 1);
    int next = 0;
    for (size_t i = 1; i < passes.size(); ++i) {
      EXPECT_EQ(passes[i].width, 900);
      EXPECT_EQ(passes[i].samples, samples);
      EXPECT_EQ(passes[i].sampleBegin, next);
      EXPECT_EQ(passes[i].sampleEnd, ends[i - 1]) << samples << " samples, pass " << i;
      next = passes[i].sampleEnd;
    }
    EXPECT_EQ(next, samples);
  }
}

}  // namespace
}  // namespace tess::test
