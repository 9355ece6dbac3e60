#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "hostapp/render/image.h"
#include "tessaline_version.h"

namespace {

namespace fs = std::filesystem;

struct HostRun {
  int code = -1;
  std::string out;
};

// Runs the host program; stderr is folded into the output.
HostRun Host(const std::string& arguments) {
  HostRun run;
  const std::string command = std::string(TESSALINE_HOST_PROGRAM) + " " + arguments + " 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return run;
  char buffer[4096];
  size_t n = 0;
  while ((n = fread(buffer, 1, sizeof(buffer), pipe)) > 0) run.out.append(buffer, n);
  const int status = pclose(pipe);
  run.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

class PanelCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() /
          (std::string("tessaline-panel-") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir, ec);
  }
  std::string Events(const std::string& text) {
    const fs::path file = dir / "events.txt";
    std::ofstream(file) << text;
    return file.string();
  }
  fs::path dir;
};

TEST_F(PanelCommandTest, ClicksReachTheBarAndEveryEventLeavesAFrame) {
  const std::string events =
      Events("# name, then nothing, then the right button\nmove 40 12\nclick 40 12\nrclick 40 12\n");
  const HostRun run = Host("panel softedge --events " + events + " -o " + (dir / "panel.png").string());
  ASSERT_EQ(run.code, 0) << run.out;
  EXPECT_NE(run.out.find("message box: Tessaline v " TESSALINE_VERSION "\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("message to dialog: action from gadget 1004, value 0, dragging 0"), std::string::npos);
  // One message box and one action: the right button stays silent.
  EXPECT_EQ(run.out.find("message box:"), run.out.rfind("message box:"));
  EXPECT_EQ(run.out.find("message to dialog:"), run.out.rfind("message to dialog:"));
  for (const char* frame : {"panel-000.png", "panel-001.png", "panel-002.png", "panel-003.png"})
    EXPECT_TRUE(fs::exists(dir / frame)) << frame;
  EXPECT_FALSE(fs::exists(dir / "panel-004.png"));
}

TEST_F(PanelCommandTest, MalformedEventsGiveFileAndLine) {
  const std::string events = Events("move 1 2\n\nclick x 3\n");
  const HostRun run = Host("panel drawedge --events " + events);
  EXPECT_NE(run.code, 0);
  EXPECT_NE(run.out.find("error: " + events + ":3: X 'x' is not a whole number"), std::string::npos) << run.out;
}

TEST_F(PanelCommandTest, UnknownShaderIsOneErrorLine) {
  const HostRun run = Host("panel nosuchshader");
  EXPECT_NE(run.code, 0);
  EXPECT_NE(run.out.find("error: no shader 'nosuchshader'"), std::string::npos) << run.out;
}

TEST_F(PanelCommandTest, MissingFontIsOneErrorLine) {
  const std::string font = (dir / "none.ttf").string();
  const HostRun run = Host("panel softedge --font " + font + " -o " + (dir / "panel.png").string());
  EXPECT_NE(run.code, 0);
  EXPECT_NE(run.out.find("error: the panel's font " + font + ": the font file cannot be opened\n"), std::string::npos)
      << run.out;
  EXPECT_EQ(run.out.find("error:"), run.out.rfind("error:")) << run.out;
  EXPECT_FALSE(fs::exists(dir / "panel.png"));
}

// Per-channel tolerance of the panel references: antialiased edges may move a
// few levels with another FreeType; a moved or missing word changes far more.
constexpr int tolerance = 8;
constexpr double maxDifferingShare = 0.002;

void ComparePanelWithReference(const std::string& name, const fs::path& image) {
  const std::string reference = std::string(TESSALINE_PANEL_REFERENCES) + "/" + name + ".png";
  tess::render::Image8 actual;
  ASSERT_EQ(tess::render::ReadPng(image.string(), actual), "");
  const char* update = std::getenv("TESSALINE_UPDATE_REFERENCES");
  if (update != nullptr && std::string(update) == "1") {
    ASSERT_EQ(tess::render::WritePng(reference, actual), "");
    return;
  }
  tess::render::Image8 expected;
  ASSERT_EQ(tess::render::ReadPng(reference, expected), "") << "run with TESSALINE_UPDATE_REFERENCES=1 to make it";
  ASSERT_EQ(expected.width, actual.width);
  ASSERT_EQ(expected.height, actual.height);
  tess::render::Image8 diff{actual.width, actual.height, std::vector<uint8_t>(actual.rgb.size(), 0)};
  size_t differing = 0;
  for (size_t i = 0; i < actual.rgb.size(); ++i) {
    const int d = std::abs(int(actual.rgb[i]) - int(expected.rgb[i]));
    diff.rgb[i] = static_cast<uint8_t>(std::min(255, d * 8));
    differing += d > tolerance ? 1 : 0;
  }
  if (double(differing) > maxDifferingShare * double(actual.rgb.size())) {
    const std::string out = std::string(TESSALINE_PANEL_OUTPUT) + "/" + name;
    fs::copy_file(image, out + ".png", fs::copy_options::overwrite_existing);
    tess::render::WritePng(out + ".diff.png", diff);
    ADD_FAILURE() << name << ": " << differing << " channel values differ by more than " << tolerance << "; see " << out
                  << ".png and .diff.png";
  }
}

TEST_F(PanelCommandTest, PanelsMatchTheirReferencesAtANarrowAndAWideWidth) {
  for (const auto& [shader, width] :
       {std::pair<std::string, int>{"softedge", 260}, {"softedge", 560}, {"drawedge", 260}, {"drawedge", 560}}) {
    const std::string name = "panel_" + shader + "_" + std::to_string(width);
    SCOPED_TRACE(name);
    const fs::path image = dir / (name + ".png");
    const HostRun run = Host("panel " + shader + " --width " + std::to_string(width) + " -o " + image.string());
    ASSERT_EQ(run.code, 0) << run.out;
    ComparePanelWithReference(name, image);
  }
}

}  // namespace
