// The bad-input sweep through the built host and the module it loads: every
// case ends in a clear error or a sound result, never a crash.
#include <sstream>
#include <vector>

#include "tests/sweep/sweep_fixture.h"

namespace tess::test {
namespace {

// A cube with both shaders in every channel and an edge selection, and two
// meshes that are wrong on purpose.
const char* const probeScene = R"({"objects": [
  {"name": "box", "mesh": {"primitive": "cube", "size": 2},
   "material": {"color": {"shader": "DrawEdge", "params": {"DRAWEDGE_WIDTH": 0.3, "DRAWEDGE_USE_SELECTION": true}},
                "bump": {"shader": "DrawEdge", "params": {"DRAWEDGE_WIDTH": 0.3}},
                "normal": {"shader": "SoftEdge", "params": {"SOFTEDGE_RADIUS": 0.4, "SOFTEDGE_ANGLE_MIN": 10}}},
   "tags": [{"type": "edge_selection", "name": "tessaline", "edges": [[0, 1], [2, 3]]}]},
  {"name": "degenerate", "mesh": {"points": [[0,0,0], [1,0,0], [2,0,0], [1,0,0], [0,0,0], [0,1,0]],
                                  "polygons": [[0, 1, 2], [0, 0, 0], [1, 3, 5], [0, 1, 3, 4], [0, 1, 5]]},
   "material": {"color": {"shader": "DrawEdge"}, "normal": {"shader": "SoftEdge", "params": {"SOFTEDGE_ANGLE_MIN": 0}}}},
  {"name": "book", "mesh": {"points": [[0,0,0], [1,0,0], [0,1,0]], "polygons": [[0, 1, 2], [0, 1, 2], [0, 2, 1]]},
   "material": {"color": {"shader": "DrawEdge"}, "normal": {"shader": "SoftEdge", "params": {"SOFTEDGE_ANGLE_MIN": 0}}}}
]})";

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST_F(Sweep, BrokenHitRecordsGiveFallbacksOrNumbersNeverACrash) {
  const fs::path scene = Write("scene.json", probeScene);
  std::string lines;
  for (const char* channel : {"color", "bump", "normal"}) {
    const std::string head = std::string(R"({"object": "box", "channel": ")") + channel + R"(", "polygon": 0, )";
    for (const char* id : {"[1, 6]", "[1, 99]", "[1, -5]", "[1, 2147483647]", "[0, 0]"})
      lines += head + R"("point": [1, 0.9, 0.5], "normal": [1, 0, 0], "hit_id": )" + id + "}\n";
    for (const char* broken :
         {R"("point": ["nan", 0.9, 0.5], "normal": [1, 0, 0])", R"("point": [1, "inf", 0.5], "normal": [1, 0, 0])",
          R"("point": [1, 0.9, 0.5], "normal": ["nan", 0, "-inf"])",
          R"("point": ["-inf", "nan", "inf"], "normal": ["inf", "inf", "inf"], "ray": ["nan", 0, 0])"})
      lines += head + broken + "}\n";
  }
  const HostRun run = Host("shade '" + scene.string() + "' --input '" + Write("lines.jsonl", lines).string() + "'");
  EXPECT_EQ(run.exitCode, 0) << run.output;
  const auto out = Lines(run.output);
  ASSERT_EQ(out.size(), 27u) << run.output;
  for (const std::string& line : out) EXPECT_EQ(line.rfind("{\"color\": [", 0), 0u) << line;
  // A polygon index past the object's end and no polygon hit: the fallbacks.
  for (int channel = 0; channel < 3; ++channel)
    for (int k = 0; k < 5; ++k) EXPECT_EQ(out[channel * 9 + k], "{\"color\": [1, 1, 1]}") << channel << " " << k;
}

TEST_F(Sweep, ThreadIndicesPastTheTablesAreEvaluatedAsTheirOwn) {
  const fs::path scene = Write("scene.json", probeScene);
  std::string lines;
  for (const char* channel : {"color", "bump", "normal"})
    for (int thread : {0, 255, 256, 1023})
      lines += std::string(R"({"object": "box", "channel": ")") + channel +
               R"(", "polygon": 0, "point": [1, 0.9, 0.5], "normal": [1, 0, 0], "thread": )" + std::to_string(thread) +
               "}\n";
  const HostRun run = Host("shade '" + scene.string() + "' --input '" + Write("lines.jsonl", lines).string() + "'");
  EXPECT_EQ(run.exitCode, 0) << run.output;
  const auto out = Lines(run.output);
  ASSERT_EQ(out.size(), 12u) << run.output;
  for (size_t channel = 0; channel < 3; ++channel)
    for (size_t k = 1; k < 4; ++k) EXPECT_EQ(out[channel * 4 + k], out[channel * 4]) << "thread index " << k;
}

TEST_F(Sweep, DegenerateAndTriplySharedMeshesShadeAndRender) {
  const fs::path scene = Write("scene.json", probeScene);
  std::string lines;
  for (const char* object : {"degenerate", "book"})
    for (int polygon = 0; polygon < (std::string(object) == "book" ? 3 : 5); ++polygon)
      for (const char* channel : {"color", "normal"})
        lines += std::string(R"({"object": ")") + object + R"(", "channel": ")" + channel + R"(", "polygon": )" +
                 std::to_string(polygon) + R"(, "point": [0.5, 0.2, 0], "normal": [0, 0, 1]})" + "\n";
  const HostRun shade = Host("shade '" + scene.string() + "' --input '" + Write("lines.jsonl", lines).string() + "'");
  EXPECT_EQ(shade.exitCode, 0) << shade.output;
  EXPECT_EQ(Lines(shade.output).size(), 16u) << shade.output;

  const HostRun render = Host("render '" + scene.string() + "' -o '" + (folder / "out.png").string() +
                              "' --width 48 --height 32 --samples 1 --threads 4");
  EXPECT_EQ(render.exitCode, 0) << render.output;
  EXPECT_TRUE(fs::exists(folder / "out.png"));
}

TEST_F(Sweep, TenThousandObjectsFlipTheThreadSlotsAllTheTime) {
  std::ostringstream scene;
  scene << R"({"camera": {"position": [0, 30, 60], "target": [0, 0, 0]}, "objects": [)";
  for (int i = 0; i < 10000; ++i) {
    const int column = i % 100;
    const int row = i / 100;
    scene << (i ? "," : "") << R"({"name": "c)" << i
          << R"(", "mesh": {"primitive": "cube", "size": 0.35}, "position": [)" << column * 0.5 - 25 << ", 0, "
          << row * 0.5 - 25 << R"(], "material": {"color": )"
          << (i % 2 ? R"({"shader": "DrawEdge", "params": {"DRAWEDGE_WIDTH": 0.05}})" : "[0.8, 0.8, 0.8]")
          << R"(, "normal": {"shader": "SoftEdge", "params": {"SOFTEDGE_RADIUS": 0.05, "SOFTEDGE_ANGLE_MIN": 10}}}})";
  }
  scene << "]}";
  const fs::path path = Write("many.json", scene.str());
  const HostRun run = Host("render '" + path.string() + "' -o '" + (folder / "many.png").string() +
                           "' --width 96 --height 64 --samples 1 --threads 4");
  EXPECT_EQ(run.exitCode, 0) << run.output;
}

// One shader parameter set to a value, in a scene of one cube.
std::string SceneWith(const std::string& shader, const std::string& parameter, const std::string& value) {
  return R"({"objects": [{"name": "box", "mesh": {"primitive": "cube"}, "material": {"normal": {"shader": ")" + shader +
         R"(", "params": {")" + parameter + R"(": )" + value + "}}}}]}";
}

TEST_F(Sweep, ParametersAtTheirRangesRenderAndPastThemAreRefused) {
  struct Case {
    const char* shader;
    const char* parameter;
    const char* value;
    const char* error;  // null: renders
  };
  const Case cases[] = {
      {"SoftEdge", "SOFTEDGE_RADIUS", "-1", "objects[0].material.normal.params.SOFTEDGE_RADIUS: value -1 outside 0"},
      {"SoftEdge", "SOFTEDGE_RADIUS", "0", nullptr},
      {"DrawEdge", "DRAWEDGE_WIDTH", "-0.5", "objects[0].material.normal.params.DRAWEDGE_WIDTH: value -0.5 outside"},
      {"SoftEdge", "SOFTEDGE_ANGLE_MIN", "\"nan\"", "SOFTEDGE_ANGLE_MIN: expected a number"},
      {"SoftEdge", "SOFTEDGE_ANGLE_MAX", "180", nullptr},
      {"SoftEdge", "SOFTEDGE_ANGLE_MAX", "180.5", "SOFTEDGE_ANGLE_MAX: value 180.5 outside 0 .. 180"},
      {"SoftEdge", "SOFTEDGE_SAMPLES", "0", "SOFTEDGE_SAMPLES: value 0 outside 1 .. 256"},
      {"SoftEdge", "SOFTEDGE_SAMPLES", "-3", "SOFTEDGE_SAMPLES: value -3 outside 1 .. 256"},
      {"SoftEdge", "SOFTEDGE_SAMPLES", "10000000", "SOFTEDGE_SAMPLES: value 1e+07 outside 1 .. 256"},
      {"SoftEdge", "SOFTEDGE_SAMPLES", "1", nullptr},
      {"SoftEdge", "SOFTEDGE_SAMPLES", "256", nullptr},
  };
  for (const Case& c : cases) {
    std::string scene = SceneWith(c.shader, c.parameter, c.value);
    if (std::string(c.parameter) == "SOFTEDGE_SAMPLES")
      scene.insert(scene.find("\"params\": {") + 11, "\"SOFTEDGE_METHOD\": 1, ");
    const fs::path path = Write("scene.json", scene);
    const HostRun run = Host("render '" + path.string() + "' -o '" + (folder / "out.png").string() +
                             "' --width 32 --height 24 --samples 1 --threads 2");
    if (c.error == nullptr) {
      EXPECT_EQ(run.exitCode, 0) << c.parameter << " " << c.value << ": " << run.output;
    } else {
      ExpectOneLineError(run, c.error);
    }
  }
}

}  // namespace
}  // namespace tess::test
