// The shade probe on a hand-made OBJ: values worked out by hand, every switch
// that leaves the hit record incomplete, and bad lines.
#include <gtest/gtest.h>

#include <sstream>

#include "hostapp/render/probe.h"
#include "hostapp/services/services.h"

namespace tess::test {
namespace {

struct ProbeRun {
  int code;
  std::vector<std::string> lines;
  std::string err;
};

ProbeRun Shade(const std::string& input) {
  host::ResetServices();
  std::istringstream in(input);
  std::ostringstream out, err;
  ProbeRun run{
      render::RunShade(TESSALINE_MODULE, std::string(TESSALINE_RENDER_TESTS) + "/data/probe.json", in, out, err),
      {},
      err.str()};
  std::istringstream lines(out.str());
  for (std::string line; std::getline(lines, line);) run.lines.push_back(line);
  return run;
}

// The unit square (0,0)-(1,1) facing +z with a coplanar triangle on its right.
std::string At(double x, double y, const std::string& channel, const std::string& extra = "") {
  std::ostringstream s;
  s << R"({"object": "quad", "polygon": 0, "point": [)" << x << ", " << y
    << R"(, 0], "normal": [0, 0, 1], "channel": ")" << channel << '"' << extra << "}\n";
  return s.str();
}

TEST(ShadeProbe, DrawEdgeAndSoftEdgeAnswersWorkedOutByHand) {
  // DrawEdge with width 0.1 and a straight falloff: value = distance / width,
  // multiplied where two lines meet; the default gradient maps it to grey.
  const ProbeRun run =
      Shade(At(0.5, 0.5, "color") + At(0.5, 0.05, "color") + At(0.05, 0.05, "color") +
            At(0.5, 0.05, "bump", R"(, "bump_sample": 2)") + At(0.5, 0.05, "bump", R"(, "bump_sample": 3)") +
            At(0.5, 0.5, "normal") + At(0.9, 0.5, "normal"));
  EXPECT_EQ(run.code, 0) << run.err;
  const std::vector<std::string> expected = {
      R"({"color": [1, 1, 1]})",           // farther than the width from every side
      R"({"color": [0.5, 0.5, 0.5]})",     // half the width from the bottom side
      R"({"color": [0.25, 0.25, 0.25]})",  // the corner: 0.5 * 0.5
      R"({"color": [0.5, 0.5, 0.5]})",     // bump sample 2 moves the point 0.1 down: 0.05 from the side
      R"({"color": [1, 1, 1]})",           // bump sample 3 moves it up: 0.15 away
      R"({"color": [0.5, 0.5, 0]})",       // (0, 0, 1) encoded, far from edges
      R"({"color": [0.5, 0.5, 0]})",       // near a coplanar neighbour: nothing to bend toward
  };
  EXPECT_EQ(run.lines, expected);
}

TEST(ShadeProbe, IncompleteHitRecordsGiveEachShadersFallback) {
  const ProbeRun run = Shade(
      At(0.5, 0.05, "normal", R"(, "record": false)") + At(0.5, 0.05, "normal", R"(, "hit_object": false)") +
      At(0.5, 0.05, "normal", R"(, "context": false)") + At(0.5, 0.05, "normal", R"(, "hit_id": [0, 0])") +
      At(0.5, 0.05, "color", R"(, "record": false)") + At(0.5, 0.05, "color", R"(, "hit_object": false)") +
      At(0.5, 0.05, "color", R"(, "context": false)") + At(0.5, 0.05, "color", R"(, "hit_id": [0, 0])") +
      At(0.5, 0.05, "color", R"(, "thread": 700, "u": 0.5, "v": 0.05, "ray": [0, 0, -1], "second_normal": [0, 0, 1])"));
  EXPECT_EQ(run.code, 0) << run.err;
  ASSERT_EQ(run.lines.size(), 9u);
  for (size_t i = 0; i < 8; ++i) EXPECT_EQ(run.lines[i], R"({"color": [1, 1, 1]})") << "line " << i + 1;
  EXPECT_EQ(run.lines[8], R"({"color": [0.5, 0.5, 0.5]})") << "a complete record past the module's thread slots";
}

TEST(ShadeProbe, BadLinesAreNamedAndTheRunGoesOn) {
  const ProbeRun run =
      Shade(At(0.5, 0.5, "color") + "{not json\n" +
            R"({"object": "nope", "polygon": 0, "point": [0, 0, 0], "normal": [0, 0, 1], "channel": "color"})"
            "\n" +
            At(0.5, 0.5, "glow") + At(0.5, 0.5, "color", R"(, "polygon": 7)") +
            R"({"object": "line\nbreak", "polygon": 0, "point": [0, 0, 0], "normal": [0, 0, 1], "channel": "color"})"
            "\n" +
            At(0.5, 0.5, "color"));
  EXPECT_EQ(run.code, 1);
  ASSERT_EQ(run.lines.size(), 7u);
  EXPECT_EQ(run.lines[0], R"({"color": [1, 1, 1]})");
  EXPECT_EQ(run.lines[6], R"({"color": [1, 1, 1]})");
  EXPECT_NE(run.err.find("error: line 2: malformed JSON"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("error: line 3: object: no object named \"nope\""), std::string::npos);
  EXPECT_NE(run.err.find("error: line 4: channel: expected"), std::string::npos);
  EXPECT_NE(run.err.find("error: line 5:"), std::string::npos);
  // A name quoting a newline keeps its message on one line.
  EXPECT_NE(run.err.find("error: line 6: object: no object named \"line\\nbreak\" in the scene\n"), std::string::npos)
      << run.err;
}

}  // namespace
}  // namespace tess::test
