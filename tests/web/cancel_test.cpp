// Stopping and restarting the progressive render while its threads run: a
// stopped generation sends nothing more, edits made while it is stopped show
// in the next one, and whatever was cancelled on the way, the last pass is
// the image a plain render of the same scene gives.
#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <random>

#include "hostapp/scene/demo_scene.h"
#include "hostapp/render/image.h"
#include "hostapp/render/module_host.h"
#include "hostapp/render/pipeline.h"
#include "hostapp/scene/scene_reader.h"
#include "hostapp/scene/shader_reader.h"
#include "hostapp/services/services.h"
#include "hostapp/web/progressive_render.h"

namespace tess::test {
namespace {

using web::Pass;
using web::ProgressiveRender;

class ProgressiveRenderTest : public ::testing::Test {
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
    ProgressiveRender::Listener listener;
    listener.pass = [this](const Pass& pass) { Arrived(pass); };
    listener.error = [this](uint64_t, const std::string& message) { ADD_FAILURE() << message; };
    preview = std::make_unique<ProgressiveRender>(*scene, threads, listener);
    ASSERT_EQ(preview->Error(), "");
  }

  void TearDown() override {
    preview.reset();
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

  // The same scene rendered once, outside the preview, at the final pass's settings.
  std::string PlainRender() {
    render::RenderSettings settings;
    settings.width = width;
    settings.height = height;
    settings.samples = web::PassesFor(width, height).back().samples;
    settings.threads = threads;
    const render::RenderOutcome outcome = render::RenderScene(*scene, settings);
    EXPECT_EQ(outcome.error, "");
    return render::EncodePng(render::ToBytes(outcome.frame.color, true));
  }

  render::ModuleHost module;
  std::unique_ptr<render::Scene> scene;
  std::unique_ptr<ProgressiveRender> preview;
  std::mutex mutex;
  std::condition_variable arrived;
  std::vector<Pass> passes;
};

TEST_F(ProgressiveRenderTest, AStoppedGenerationSendsNothingMore) {
  preview->Start(width * 8, height * 8, web::Clock::now());  // long enough to be stopped on the way
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  preview->Stop();
  const size_t sent = PassCount();
  EXPECT_FALSE(preview->Progress().running);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(PassCount(), sent);
  if (sent > 0) {
    EXPECT_FALSE(passes.back().Final());
  }
}

TEST_F(ProgressiveRenderTest, EditsBetweenStopsShowInTheLastPass) {
  std::mt19937 random(5);
  uint64_t generation = 0;
  for (int edit = 0; edit < 8; ++edit) {
    preview->Stop();
    SetRadius(0.1 + 0.05 * edit);
    generation = preview->Start(width, height, web::Clock::now());
    // Stopped at any point: while preparing, in the first pass, between passes.
    std::this_thread::sleep_for(std::chrono::milliseconds(std::uniform_int_distribution<int>(0, 40)(random)));
  }
  const Pass last = FinalPass(generation);
  EXPECT_EQ(last.plan.width, width);
  preview->Stop();
  ASSERT_NE(last.png, nullptr);
  EXPECT_TRUE(*last.png == PlainRender()) << "the last pass differs from a plain render of the edited scene";
}

TEST_F(ProgressiveRenderTest, KeepsTheRecentPassesAndTellsWhichRuns) {
  const uint64_t first = preview->Start(width, height, web::Clock::now());
  FinalPass(first);
  const uint64_t second = preview->Start(width, height, web::Clock::now());
  FinalPass(second);
  const uint64_t third = preview->Start(width, height, web::Clock::now());
  const Pass last = FinalPass(third);
  preview->Stop();
  EXPECT_FALSE(preview->Progress().running);
  EXPECT_EQ(preview->Progress().generation, third);
  ASSERT_TRUE(preview->Latest());
  EXPECT_EQ(preview->Latest()->generation, third);
  // Eight passes are kept: the two newest generations'.
  EXPECT_FALSE(preview->Find(first, last.count - 1));
  EXPECT_TRUE(preview->Find(second, 0));
  EXPECT_TRUE(preview->Find(third, last.count - 1));
}

}  // namespace
}  // namespace tess::test
