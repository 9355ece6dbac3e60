// Mesh files read in the reader process, through the built host: a reader
// that crashes, hangs or takes all memory, a header that announces more
// than its file holds, a file without polygons and a very deep node tree
// each end as one line and exit 1, or render, but never take the host down.
#include <fstream>
#include <sstream>

#include "tests/assets/asset_text.h"
#include "tests/sweep/sweep_fixture.h"

namespace tess::test {
namespace {

const std::string data = TESSALINE_ASSETS;

class Isolation : public Sweep {
 protected:
  HostRun Render(const fs::path& model, const std::string& options = "", const std::string& shell = "") const {
    return Host(
        "render '" + model.string() + "' -o '" + (folder / "out.png").string() + "' --width 16 --height 16 " + options,
        shell);
  }
  static void ExpectExitOneWith(const HostRun& run, const std::string& words) {
    ExpectOneLineError(run, words);
    EXPECT_EQ(run.exitCode, 1) << run.output;
  }
};

TEST_F(Isolation, AReaderThatCrashesHangsOrAllocatesWithoutEndIsOneLine) {
  const fs::path stl = Write("cube.stl", Text(data + "/cube_binary.stl"));
  // The signal itself is the reader's own (SIGSEGV, or SIGABRT from a sanitizer that caught the fault).
  ExpectExitOneWith(Render(stl, "", "TESSALINE_IMPORT_FAULT=crash"), stl.string() + ": the reader crashed (signal ");
  ExpectExitOneWith(Render(stl, "--import-seconds 1", "TESSALINE_IMPORT_FAULT=hang"),
                    stl.string() + ": the reader took more than 1 s");
  ExpectExitOneWith(Render(stl, "--import-memory 256M", "TESSALINE_IMPORT_FAULT=allocate"),
                    stl.string() + ": the reader ran out of its 256 MB memory limit");
  EXPECT_FALSE(fs::exists(folder / "out.png"));
  // A scene's mesh file goes the same way.
  const fs::path scene = Write("scene.json", R"({"objects": [{"mesh": {"file": "cube.stl"}}]})");
  ExpectExitOneWith(Render(scene, "", "TESSALINE_IMPORT_FAULT=crash"), stl.string() + ": the reader crashed");
}

TEST_F(Isolation, ServeWithAModelWhoseReaderCrashesStopsWithOneLine) {
  const fs::path stl = Write("cube.stl", Text(data + "/cube_binary.stl"));
  const HostRun run =
      Host("serve '" + stl.string() + "' --port 0 --listen 127.0.0.1 --stop-after 5", "TESSALINE_IMPORT_FAULT=crash");
  ExpectExitOneWith(run, stl.string() + ": the reader crashed (signal ");
  EXPECT_EQ(run.output.find("serving"), std::string::npos) << run.output;
}

TEST_F(Isolation, TheReaderProcessGivesTheModelItsNodesNamesAndPolygons) {
  Write("cube.bin", Text(data + "/cube.bin"));
  const fs::path gltf = Write("nodes.gltf", Text(data + "/nodes.gltf"));
  const HostRun run = Render(gltf, "--print-scene '" + (folder / "made.json").string() + "' --stats");
  ASSERT_EQ(run.exitCode, 0) << run.output;
  EXPECT_TRUE(fs::exists(folder / "out.png"));
  const std::string made = Text((folder / "made.json").string());
  for (const char* node : {"\"Hand\"", "\"node\""}) EXPECT_NE(made.find(node), std::string::npos) << made;
  // The limits are the reader's: an ample one changes nothing.
  EXPECT_EQ(Render(gltf, "--import-memory 1G --import-seconds 60").exitCode, 0);
}

TEST_F(Isolation, LimitsThatAreNoSizeOrTimeAreRefused) {
  const fs::path stl = Write("cube.stl", Text(data + "/cube_binary.stl"));
  for (const char* bad : {"--import-memory lots", "--import-memory 2Q", "--import-memory 1k", "--import-seconds 0"}) {
    SCOPED_TRACE(bad);
    const HostRun run = Render(stl, bad);
    EXPECT_GT(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find("--import-"), std::string::npos) << run.output;
  }
}

// An OFF file of 309 bytes that announces 353 billion points, a binary STL
// cut short: refused from the header, before any reader allocates for it.
TEST_F(Isolation, AHeaderAnnouncingMoreThanTheFileHoldsIsRefusedAtOnce) {
  std::string off = "OFF\n353000000000 1 0\n";
  while (off.size() < 309) off += "0 0 0\n";
  off.resize(309, '\n');
  const fs::path huge = Write("huge.off", off);
  ExpectExitOneWith(Render(huge), huge.string() +
                                      ": the OFF header announces 353000000000 points and 1 faces, more than the "
                                      "file's 309 bytes can hold");
  const fs::path cut = Write("cut.stl", Text(data + "/cube_binary.stl").substr(0, 84 + 50 * 5));
  ExpectExitOneWith(Render(cut), cut.string() +
                                     ": the binary STL header announces 12 triangles, more than the file's " +
                                     std::to_string(84 + 50 * 5) + " bytes can hold");
  // An OFF file that holds what it announces renders.
  const fs::path square = Write("square.off", "OFF\n# a comment\n4 1 0\n0 0 0\n1 0 0\n1 1 0\n0 1 0\n4 0 1 2 3\n");
  EXPECT_EQ(Render(square).exitCode, 0);
}

TEST_F(Isolation, AFileWithoutPolygonsSaysSoWhateverItsFormat) {
  const fs::path bvh = Write("bones.bvh",
                             "HIERARCHY\nROOT Hips\n{\n  OFFSET 0 0 0\n  CHANNELS 3 Xposition Yposition Zposition\n"
                             "  End Site\n  {\n    OFFSET 0 1 0\n  }\n}\nMOTION\nFrames: 1\nFrame Time: 0.04\n0 0 0\n");
  ExpectExitOneWith(Render(bvh), bvh.string() + ": the file has no polygons");
  Write("cube.bin", Text(data + "/cube.bin"));
  const fs::path lines = Write("lines.gltf", Replace(Text(data + "/cube.gltf"), "\"mode\": 4", "\"mode\": 1"));
  ExpectExitOneWith(Render(lines), lines.string() + ": the file has no polygons");
}

// 20,000 nodes, each the only child of the one before, the last holding
// the cube: readers recurse over such a tree, and finding its mesh nodes
// must not take the square of its depth.
TEST_F(Isolation, AVeryDeepChainOfNodesIsRead) {
  Write("cube.bin", Text(data + "/cube.bin"));
  std::string gltf = Text(data + "/cube.gltf");
  const size_t at = gltf.find("\"nodes\"");
  ASSERT_NE(at, std::string::npos);
  const size_t end = gltf.find(']', gltf.find("\"mesh\"", at)) + 1;
  const int depth = 20000;
  std::ostringstream nodes;
  nodes << R"("nodes": [)";
  for (int i = 0; i < depth - 1; ++i) nodes << R"({"name": "n)" << i << R"(", "children": [)" << i + 1 << "]},";
  nodes << R"({"name": "leaf", "mesh": 0}])";
  gltf.replace(at, end - at, nodes.str());
  const fs::path deep = Write("deep.gltf", gltf);
  const HostRun run = Render(deep, "--print-scene '" + (folder / "made.json").string() + "'");
  ASSERT_EQ(run.exitCode, 0) << run.output;
  EXPECT_TRUE(fs::exists(folder / "out.png"));
}

}  // namespace
}  // namespace tess::test
