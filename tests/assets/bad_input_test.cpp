// Bad mesh files through the built host: one line that names the file and
// the reason, and a non-zero exit; never an empty image and exit 0.
#include <fstream>
#include <sstream>

#include "tests/sweep/sweep_fixture.h"
#include "tests/assets/asset_text.h"

namespace tess::test {
namespace {

const std::string data = TESSALINE_ASSETS;

// A binary glTF whose header gives the file's true length but whose JSON
// chunk claims nearly 4 GB.
std::string LongChunkGlb() {
  std::string glb("glTF\x02\0\0\0\0\0\0\0\xF5\xFF\xFF\xFFJSON{}", 22);
  glb.resize(64, ' ');
  glb[8] = static_cast<char>(glb.size());
  return glb;
}

struct Case {
  std::string name;  // the file, written into the test's folder
  std::string content;
  std::string reason;  // what follows the file's path: ": reason", or ":line: reason"
};

TEST_F(Sweep, ModelFilesThatAreNotWhatTheyClaimOrHoldNothingAreRefused) {
  const std::string stl = Text(data + "/cube_binary.stl");
  const std::string ply = Text(data + "/cube_ascii.ply");
  const std::string plyHead = ply.substr(0, ply.find("end_header\n") + 11);
  const std::string plyPoints = ply.substr(plyHead.size(), ply.find("\n4 0 1 2 3") + 1 - plyHead.size());
  const std::string gltf = Text(data + "/cube.gltf");
  Write("cube.bin", Text(data + "/cube.bin"));
  const Case cases[] = {
      // Content that is not the format its name says.
      {"stl.ply", stl, ": not a PLY file (it must begin with the line \"ply\")"},
      {"stl.gltf", stl, ": not a glTF file (JSON that begins with {)"},
      {"stl.glb", stl, ": not a binary glTF 2 file"},
      {"long-chunk.glb", LongChunkGlb(), ": a chunk of this binary glTF file is longer than the file"},
      {"stl.dae", stl, ": not a COLLADA file (no <COLLADA> element at its start)"},
      {"stl.fbx", stl, ": not an FBX file"},
      {"text.stl", "this is no mesh\n", ": Failed to determine STL storage representation"},
      {"cube.xyz", stl, ": no mesh format has the extension \".xyz\""},
      // Empty files.
      {"empty.stl", "", ": the file is empty"},
      {"empty.gltf", "", ": the file is empty"},
      {"empty.obj", "", ": the file has no polygons"},
      // Files without polygons.
      {"points.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\n", ": the file has no polygons"},
      {"points.ply", Replace(plyHead, "element face 6", "element face 0") + plyPoints, ": the file has no polygons"},
      {"points.gltf", Replace(gltf, "\"mode\": 4", "\"mode\": 0"), ": the file has no polygons"},
      // Coordinates that are not finite.
      {"nan.stl", Replace(Text(data + "/cube_ascii.stl"), "vertex -1 -1 -1", "vertex nan -1 -1"),
       ": mesh 'AssimpScene' point 0 has a coordinate that is not finite"},
      {"inf.ply", Replace(ply, "\n-1 -1 -1", "\ninf -1 -1"), ": mesh '' point 0 has a coordinate that is not finite"},
      {"nan.obj", "v 0 0 0\nv nan 0 0\nv 0 1 0\nf 1 2 3\n", ":2: coordinate 'nan' is not finite"},
      // Indices out of range.
      {"index.ply", Replace(ply, "\n4 0 1 2 3", "\n4 0 1 2 99"),
       ": Validation failed: aiMesh::mFaces[0]::mIndices[3] is out of range"},
      {"index.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 4\n", ":4: corner 4 is out of range (3 points)"},
      // Found by fuzzing: Assimp's PLY reader never returned from a header without its end.
      {"open.ply", ply.substr(0, ply.find("end_header")), ": the PLY header has no end_header line in its first 64 KB"},
      // Found by fuzzing: and wrote past its arrays on a malformed PLY header.
      {"count.ply", Replace(ply, "element vertex 24", "element vertex 2t"),
       ":4: an element count must be a whole number"},
      {"many.ply", Replace(ply, "element vertex 24", "element vertex 4000000000"),
       ": the PLY header announces 4000000006 elements, more than the file's"},
      // Found by fuzzing: and its COLLADA reader from an index list with a stray character.
      {"stray.dae", Replace(Text(data + "/cube.dae"), "<p>0 1 2 3 4", "<p>0 1 2 3)4"),
       ":84: <p> holds ')', not only indices"},
      // A polygon that welding leaves with nothing.
      {"flat.obj", "v 0 0 0\nv 0 0 0\nv 1 0 0\nf 1 2 3\n", ": welding left no polygons"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path file = Write(c.name, c.content);
    const fs::path image = folder / "out.png";
    const HostRun run = Host("render '" + file.string() + "' -o '" + image.string() + "' --width 16 --height 16");
    ExpectOneLineError(run, file.string() + c.reason);
    EXPECT_FALSE(fs::exists(image)) << "no image for a failure";
  }
}

TEST_F(Sweep, AModelReferringToADeviceOrAFolderIsRefusedBeforeItIsRead) {
  const std::string gltf = Text(data + "/cube.gltf");
  const std::string up = UpToRoot(Write("zero.gltf", "").string());
  const fs::path zero = Write("zero.gltf", Replace(gltf, "\"cube.bin\"", "\"" + up + "dev/zero\""));
  ExpectOneLineError(Host("render '" + zero.string() + "' -o '" + (folder / "o.png").string() + "'"),
                     "zero.gltf: it refers to /dev/zero, outside the model's folder");
  ExpectOneLineError(Host("render /dev/zero -o '" + (folder / "o.png").string() + "'"),
                     "/dev/zero: not a regular file");
  fs::create_directories(folder / "dir.stl");
  ExpectOneLineError(Host("render '" + (folder / "dir.stl").string() + "' -o '" + (folder / "o.png").string() + "'"),
                     "dir.stl: not a regular file");
}

TEST_F(Sweep, ASceneNamingANodeThatIsNotInTheFileIsRefused) {
  const fs::path scene =
      Write("scene.json", R"({"objects": [{"mesh": {"file": ")" + data + R"(/nodes.gltf", "node": "Hnad"}}]})");
  ExpectOneLineError(Host("render '" + scene.string() + "' -o '" + (folder / "o.png").string() + "'"),
                     data + "/nodes.gltf: there is no node named \"Hnad\" (did you mean Hand?)");
}

}  // namespace
}  // namespace tess::test
