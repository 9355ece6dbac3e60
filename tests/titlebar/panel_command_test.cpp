#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

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
  EXPECT_NE(run.out.find("message box: Tessaline v 1.05.006\n"), std::string::npos) << run.out;
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

}  // namespace
