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

  // The same scene rendered once, outside the session, at the final pass's settings.
  render::Image8 PlainRender(int w, int h) {
    render::RenderSettings settings;
    settings.width = w;
    settings.height = h;
    settings.samples = web::PassesFor(w, h).back().samples;
    settings.threads = threads;
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

TEST(PassPlan, FullSizePassesSplitOneSampleSetInOrder) {
  const auto passes = web::PassesFor(900, 760);
  ASSERT_EQ(passes.size(), 4u);
  EXPECT_EQ(passes[0].width, 225);
  int next = 0;
  for (size_t i = 1; i < passes.size(); ++i) {
    EXPECT_EQ(passes[i].width, 900);
    EXPECT_EQ(passes[i].samples, passes.back().sampleEnd);
    EXPECT_EQ(passes[i].sampleBegin, next);
    next = passes[i].sampleEnd;
  }
  EXPECT_EQ(next, passes.back().samples);
}

}  // namespace
}  // namespace tess::test
