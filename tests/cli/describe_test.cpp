// `tessaline-host describe` run as a user runs it.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <string>

namespace {

struct HostRun {
  int status = 0;
  std::string output;
};

// Runs the host with arguments; stdout and stderr together.
HostRun Host(const std::string& arguments) {
  HostRun run;
  FILE* pipe = popen((std::string("'") + TESSALINE_HOST_PROGRAM + "' " + arguments + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return run;
  std::array<char, 512> buffer{};
  while (fgets(buffer.data(), buffer.size(), pipe) != nullptr) run.output += buffer.data();
  run.status = pclose(pipe);
  return run;
}

TEST(Describe, ShowsTheGroupOfTheChosenMethodOnly) {
  const HostRun edges = Host("describe SoftEdge");
  ASSERT_EQ(edges.status, 0) << edges.output;
  EXPECT_NE(edges.output.find("Minimum Angle (SOFTEDGE_ANGLE_MIN): 60°"), std::string::npos) << edges.output;
  EXPECT_NE(edges.output.find("Profile (SOFTEDGE_PROFILE):"), std::string::npos);
  EXPECT_EQ(edges.output.find("Samples"), std::string::npos);

  const HostRun sampling = Host("describe 'Soft Edge' --set SOFTEDGE_METHOD=1");
  ASSERT_EQ(sampling.status, 0) << sampling.output;
  EXPECT_NE(sampling.output.find("Samples (SOFTEDGE_SAMPLES): 32"), std::string::npos) << sampling.output;
  EXPECT_EQ(sampling.output.find("Profile"), std::string::npos);
}

TEST(Describe, MarksDisabledParametersAndTakesAnglesInDegrees) {
  const HostRun off = Host("describe xdrawedge");
  EXPECT_NE(off.output.find("Selection Mode (DRAWEDGE_SELECTION_MODE): Only  (disabled)"), std::string::npos)
      << off.output;
  const HostRun on = Host("describe 1020979 --set DRAWEDGE_USE_SELECTION=on --set DRAWEDGE_ANGLE_MIN=12.5");
  EXPECT_NE(on.output.find("Selection Mode (DRAWEDGE_SELECTION_MODE): Only\n"), std::string::npos) << on.output;
  EXPECT_NE(on.output.find("Minimum Angle (DRAWEDGE_ANGLE_MIN): 12.5°"), std::string::npos) << on.output;
}

TEST(Describe, BadRequestsGiveOneLineAndFail) {
  struct Case {
    const char* arguments;
    const char* line;
  };
  const Case cases[] = {
      {"describe Nothing", "error: unknown shader Nothing (known: Soft Edge, Draw Edge)\n"},
      {"describe SoftEdge --set SOFTEDGE_RADUS=1",
       "error: --set SOFTEDGE_RADUS=1: unknown parameter SOFTEDGE_RADUS (did you mean SOFTEDGE_RADIUS?)\n"},
      {"describe SoftEdge --set SAMPLES=1",
       "error: --set SAMPLES=1: unknown parameter SAMPLES (did you mean SOFTEDGE_SAMPLES?)\n"},
      {"describe SoftEdge --set NOTHING_LIKE_IT=1",
       "error: --set NOTHING_LIKE_IT=1: unknown parameter NOTHING_LIKE_IT\n"},
      {"describe SoftEdge --set SOFTEDGE_RADIUS=big", "error: --set SOFTEDGE_RADIUS=big: not a number: big\n"},
      {"describe SoftEdge --set SOFTEDGE_RADIUS=-1", "error: --set SOFTEDGE_RADIUS=-1: value -1 outside 0 .. inf\n"},
      {"describe SoftEdge --set SOFTEDGE_METHOD=7", "error: --set SOFTEDGE_METHOD=7: not one of the choices: 7\n"},
      {"describe SoftEdge --set SOFTEDGE_PROFILE=1", "error: --set SOFTEDGE_PROFILE=1: cannot be set from text\n"},
      {"describe SoftEdge --set SOFTEDGE_RADIUS", "error: --set SOFTEDGE_RADIUS: expected SYMBOL=VALUE\n"},
  };
  for (const Case& c : cases) {
    const HostRun run = Host(c.arguments);
    EXPECT_NE(run.status, 0) << c.arguments;
    EXPECT_EQ(run.output, c.line);
  }
}

// Scene authors write the symbols describe shows; a near miss names them.
TEST(Describe, ShowsEverySymbolAUnknownSceneParameterIsMatchedAgainst) {
  const HostRun draw = Host("describe DrawEdge");
  EXPECT_NE(draw.output.find("  Border Edges (DRAWEDGE_BORDER_EDGES): on\n"), std::string::npos) << draw.output;
  const std::string scene = testing::TempDir() + "tessaline-did-you-mean.json";
  FILE* file = std::fopen(scene.c_str(), "w");
  ASSERT_NE(file, nullptr);
  std::fputs(R"({"objects": [{"mesh": {"primitive": "cube"},
    "material": {"color": {"shader": "DrawEdge", "params": {"DRAWEDGE_BORDER": true}}}}]})",
             file);
  std::fclose(file);
  const HostRun run = Host("render '" + scene + "' -o " + testing::TempDir() + "tessaline-did-you-mean.png");
  EXPECT_NE(run.status, 0);
  EXPECT_EQ(run.output, "error: " + scene +
                            ": objects[0].material.color.params.DRAWEDGE_BORDER: unknown parameter (did you mean "
                            "DRAWEDGE_BORDER_EDGES?)\n");
}

}  // namespace
