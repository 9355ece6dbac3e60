// Inputs that once crashed the host or kept it busy for ever: deep nesting,
// images larger than memory, and paths that are no regular files or too
// large. Each ends at once in one line and exit code 1.
#include <string>

#include "tests/sweep/sweep_fixture.h"

namespace tess::test {
namespace {

const char* const cubeScene = R"({"objects": [{"name": "box", "mesh": {"primitive": "cube"},
  "material": {"color": {"shader": "DrawEdge"}}}]})";

std::string Deep(int levels) {
  return std::string(static_cast<size_t>(levels), '[') + std::string(static_cast<size_t>(levels), ']');
}

TEST_F(Sweep, DeepNestingIsRefusedBeforeParsing) {
  const fs::path scene = Write("deep.json", "\n" + Deep(200000));
  ExpectOneLineError(Host("render '" + scene.string() + "'"), scene.string() + ":2: JSON nested deeper than 64 levels");

  // A shade line reports its line on stderr and as the answer to that line.
  const fs::path cube = Write("cube.json", cubeScene);
  const HostRun shade =
      Host("shade '" + cube.string() + "' --input '" + Write("lines.jsonl", "\n" + Deep(200000)).string() + "'");
  EXPECT_EQ(shade.exitCode, 1) << shade.output;
  EXPECT_NE(shade.output.find("error: line 2: JSON nested deeper than 64 levels\n"), std::string::npos) << shade.output;
}

TEST_F(Sweep, AnImageLargerThanMemorySaysHowMuchItNeeds) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "a sanitizer's shadow memory does not fit under an address-space limit";
#endif
  // 16384 x 16384 pixels of three doubles are 6 GB, three times the limit.
  const HostRun run =
      Host("render -o '" + (folder / "big.png").string() + "' --width 16384 --height 16384", "ulimit -v 2000000;");
  ExpectOneLineError(run, "not enough memory: the image of 16384 x 16384 pixels needs 6144 MB");
  EXPECT_EQ(run.exitCode, 1);
}

TEST_F(Sweep, DevicesFoldersAndOversizedFilesAreRefusedAtOnce) {
  const fs::path cube = Write("cube.json", cubeScene);
  const fs::path huge = Write("huge.json", "{}");
  fs::resize_file(huge, 65ull * 1024 * 1024);  // sparse: no disk space taken
  const struct {
    std::string arguments;
    std::string error;
  } cases[] = {
      {"render /dev/zero", "/dev/zero: not a regular file"},
      {"render '" + folder.string() + "'", folder.string() + ": not a regular file"},
      {"render '" + huge.string() + "'", huge.string() + ": the file is larger than the limit of 64 MB"},
      {"render '" + Write("mesh.json", R"({"objects": [{"mesh": {"file": "/dev/zero"}}]})").string() + "'",
       "/dev/zero: not a regular file"},
      {"shade '" + cube.string() + "' --input /dev/zero", "/dev/zero: not a regular file"},
      {"shade '" + cube.string() + "' --input '" + huge.string() + "'", "larger than the limit of 64 MB"},
      {"panel SoftEdge --events /dev/zero -o '" + (folder / "p.png").string() + "'", "/dev/zero: not a regular file"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments);
    const HostRun run = Host(c.arguments);
    ExpectOneLineError(run, c.error);
    EXPECT_EQ(run.exitCode, 1);
  }
}

TEST_F(Sweep, ShadeLinesComeThroughAPipeButAnEndlessLineIsCutShort) {
  const fs::path cube = Write("cube.json", cubeScene);
  const fs::path lines = Write(
      "lines.jsonl", R"({"object": "box", "channel": "color", "polygon": 0, "point": [1, 0, 0], "normal": [1, 0, 0]})"
                     "\n");
  const HostRun piped = Host("shade '" + cube.string() + "' --input /dev/stdin", "cat '" + lines.string() + "' |");
  EXPECT_EQ(piped.exitCode, 0) << piped.output;
  EXPECT_EQ(piped.output.rfind("{\"color\": [", 0), 0u) << piped.output;

  const HostRun endless = Host("shade '" + cube.string() + "'", "head -c 3000000 /dev/zero |");
  EXPECT_EQ(endless.exitCode, 1) << endless.output;
  EXPECT_NE(endless.output.find("error: line 1: longer than 1048576 bytes\n"), std::string::npos) << endless.output;
}

}  // namespace
}  // namespace tess::test
