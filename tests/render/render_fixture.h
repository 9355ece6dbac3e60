// A started module and helpers to read scenes from text and render them.
#ifndef TESSALINE_TESTS_RENDER_RENDER_FIXTURE_H
#define TESSALINE_TESTS_RENDER_RENDER_FIXTURE_H

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "hostapp/render/module_host.h"
#include "hostapp/render/pipeline.h"
#include "hostapp/scene/scene_reader.h"
#include "hostapp/services/services.h"

namespace tess::test {

namespace fs = std::filesystem;

class RenderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host::ResetServices();
    ASSERT_EQ(module.Start(TESSALINE_MODULE), "");
    folder = fs::temp_directory_path() /
             ("tessaline-render-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::create_directories(folder);
  }
  void TearDown() override {
    scenes.clear();  // nodes go before the module ends
    EXPECT_EQ(module.Finish(), "");
    std::error_code ec;
    fs::remove_all(folder, ec);
  }

  // The scene, or a failed assertion naming the reader's error.
  render::Scene& Read(const std::string& text) {
    render::SceneResult r = render::ReadSceneText(text, folder.string(), "test.json");
    EXPECT_TRUE(r.scene) << r.error;
    if (!r.scene) r.scene = std::make_unique<render::Scene>();
    scenes.push_back(std::move(r.scene));
    return *scenes.back();
  }
  std::string ReadError(const std::string& text) {
    render::SceneResult r = render::ReadSceneText(text, folder.string(), "test.json");
    return r.error;
  }
  static render::Image8 Render(const render::Scene& scene, int threads, int width = 0, int height = 0) {
    render::RenderSettings s;
    s.width = width > 0 ? width : scene.image.width;
    s.height = height > 0 ? height : scene.image.height;
    s.samples = scene.image.samples;
    s.threads = threads;
    render::RenderOutcome o = render::RenderScene(scene, s);
    EXPECT_EQ(o.error, "");
    return render::ToBytes(o.frame.color, true);
  }
  void WriteFile(const std::string& name, const std::string& text) const {
    std::ofstream(folder / name, std::ios::binary) << text;
  }

  render::ModuleHost module;
  fs::path folder;
  std::vector<std::unique_ptr<render::Scene>> scenes;
};

}  // namespace tess::test

#endif
