// Model files as others write them, through the built host: references to
// files outside the model's folder are refused, names in other encodings
// reach the made scene as valid UTF-8, and the header lines real exporters
// write are taken.
#include <sys/stat.h>

#include "tests/assets/asset_text.h"
#include "tests/sweep/sweep_fixture.h"

namespace tess::test {
namespace {

const std::string data = TESSALINE_ASSETS;

class ForeignFile : public Sweep {
 protected:
  HostRun Render(const fs::path& model, const std::string& options = "") const {
    return Host("render '" + model.string() + "' -o '" + (folder / "out.png").string() + "' --width 16 --height 16 " +
                options);
  }
  // cube.gltf with its buffer at `uri`, written as model/cube.gltf.
  fs::path GltfWithBuffer(const std::string& uri) const {
    return Write("model/cube.gltf", Replace(Text(data + "/cube.gltf"), "\"cube.bin\"", "\"" + uri + "\""));
  }
};

TEST_F(ForeignFile, FilesAModelRefersToMustLieInItsFolderOrBelow) {
  const std::string bin = Text(data + "/cube.bin");
  Write("outside.bin", bin);
  Write("model/buffers/cube.bin", bin);
  const std::string outside = (folder / "outside.bin").string();

  ExpectOneLineError(Render(GltfWithBuffer("../outside.bin")),
                     "model/cube.gltf: it refers to " + outside + ", outside the model's folder");
  // A symbolic link inside the folder counts where it leads.
  fs::create_symlink(folder / "outside.bin", folder / "model" / "link.bin");
  ExpectOneLineError(Render(GltfWithBuffer("link.bin")), "outside the model's folder");
  // Below the folder, or out and back in, is fine.
  EXPECT_EQ(Render(GltfWithBuffer("buffers/cube.bin")).exitCode, 0);
  EXPECT_EQ(Render(GltfWithBuffer("buffers/../buffers/cube.bin")).exitCode, 0);
}

TEST_F(ForeignFile, AFileInsideTheFolderThatIsNoRegularFileIsRefused) {
  fs::create_directories(folder / "model");
  ASSERT_EQ(::mkfifo((folder / "model" / "pipe.bin").c_str(), 0600), 0);
  ExpectOneLineError(Render(GltfWithBuffer("pipe.bin")), "pipe.bin: not a regular file");
}

TEST_F(ForeignFile, AnObjMaterialLibraryIsNotRead) {
  // Read, the library would never end.
  const fs::path obj = Write("quad.obj",
                             "mtllib ../../../../../../../../dev/zero\nv 0 0 0\nv 1 0 0\nv 1 1 0\n"
                             "v 0 1 0\nusemtl any\nf 1 2 3 4\n");
  EXPECT_EQ(Render(obj).exitCode, 0);
}

// Two nodes named in Latin-1, as an old exporter writes them, in a file
// that says it is UTF-8. Assimp names COLLADA nodes by their id.
TEST_F(ForeignFile, NamesThatAreNoUtf8ReachTheMadeSceneAsLatin1InUtf8) {
  std::string dae = Text(data + "/cube.dae");
  const size_t open = dae.find("<node id=\"defaultobject\"");
  const size_t close = dae.find("</node>", open) + 7;
  ASSERT_NE(open, std::string::npos);
  const std::string node = dae.substr(open, close - open);
  std::string second = Replace(node, "id=\"defaultobject\"",
                               "id=\"Gr\xF6\xDF"
                               "e\"");
  second = Replace(second, "0 0 0 0 1 0 0 0 0 1 0 0 0 0 1</matrix>", "0 0 3 0 1 0 0 0 0 1 0 0 0 0 1</matrix>");
  dae.replace(open, node.size(), Replace(node, "id=\"defaultobject\"", "id=\"W\xFCrfel\"") + "\n      " + second);
  const fs::path file = Write("latin1.dae", dae);
  const fs::path made = folder / "made.json";
  const HostRun run = Render(file, "--print-scene '" + made.string() + "'");
  ASSERT_EQ(run.exitCode, 0) << run.output;
  const std::string scene = Text(made.string());
  // Read as Latin-1, what such names are written in: "Würfel", "Größe".
  EXPECT_NE(scene.find("\"W\xC3\xBCrfel\""), std::string::npos) << scene;
  EXPECT_NE(scene.find("\"Gr\xC3\xB6\xC3\x9F"
                       "e\""),
            std::string::npos)
      << scene;
  // The scene that was made names its nodes as the file does, once read.
  const HostRun again = Host("render '" + made.string() + "' -o '" + (folder / "again.png").string() + "'");
  EXPECT_EQ(again.exitCode, 0) << again.output;
}

TEST_F(ForeignFile, PlyHeaderLinesThatRealExportersWriteAreTaken) {
  const std::string ply = Text(data + "/cube_ascii.ply");
  const fs::path file =
      Write("exported.ply", Replace(ply, "format ascii 1.0\n",
                                    "format ascii 1.0\ncomment made by hand\nobj_info a note\nBlender stray text\n"));
  const HostRun run = Render(file);
  EXPECT_EQ(run.exitCode, 0) << run.output;
  // The lines the reader acts on are still checked.
  const fs::path bad = Write("bad.ply", Replace(ply, "format ascii 1.0\n", "format ascii 1.0\nproperty float x\n"));
  ExpectOneLineError(Render(bad), bad.string() + ":3: a property before any element");
}

}  // namespace
}  // namespace tess::test
