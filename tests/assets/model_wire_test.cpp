// The reader process's answer as the host takes it: whatever bytes come
// back, the host gets the model that was written or one line saying the
// answer is malformed; and the small parts of reading foreign files: UTF-8
// repair, byte sizes, the streamed COLLADA check.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

#include "hostapp/assets/confined_files.h"
#include "hostapp/assets/header_checks.h"
#include "hostapp/assets/isolated_import.h"
#include "hostapp/assets/model_wire.h"
#include "hostapp/assets/utf8.h"

namespace tess::assets {
namespace {

namespace fs = std::filesystem;

// A root with a child holding a triangle and a quad, and a leaf beside it.
Model TwoNodeModel() {
  Model model;
  model.frame = "z up turned to y up";
  model.skippedFaces = 2;
  model.readSeconds = 0.25;
  model.nodes.resize(3);
  model.nodes[0] = {"root", -1, 3, {}, {}};
  model.nodes[1] = {"W\xEF\xBF\xBDrfel", 0, 2, {}, {}};
  model.nodes[1].mesh.points = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
  model.nodes[1].mesh.polygons = {{0, 1, 2, 2}, {0, 1, 2, 3}};
  model.nodes[2] = {"", 0, 3, {}, {}};
  model.polygons = 2;
  return model;
}

// The views a model read in this process has: its nodes' own meshes.
std::shared_ptr<Model> Viewed(Model model) {
  auto viewed = std::make_shared<Model>(std::move(model));
  for (ModelNode& node : viewed->nodes)
    node.view = {{node.mesh.points.data(), node.mesh.points.size()},
                 {node.mesh.polygons.data(), node.mesh.polygons.size()}};
  return viewed;
}

// What WriteModelResult writes, as bytes.
std::string Wire(const ModelResult& result, const std::vector<FileStamp>& opened = {}) {
  const int fd = ::memfd_create("wire-test", MFD_CLOEXEC);
  EXPECT_GE(fd, 0);
  EXPECT_TRUE(WriteModelResult(fd, result, opened));
  std::string bytes(static_cast<size_t>(::lseek(fd, 0, SEEK_END)), '\0');
  EXPECT_EQ(::pread(fd, bytes.data(), bytes.size(), 0), static_cast<ssize_t>(bytes.size()));
  ::close(fd);
  return bytes;
}

// The bytes as the host holds an answer: the model keeps them.
std::shared_ptr<const char> Held(const std::string& bytes) {
  auto text = std::make_shared<const std::string>(bytes);
  return {text, text->data()};
}

ModelResult Parse(const std::string& bytes, std::vector<FileStamp>* opened = nullptr) {
  std::vector<FileStamp> files;
  return ParseModelResult(Held(bytes), bytes.size(), "m.glb", opened != nullptr ? *opened : files);
}

// Where in the bytes the child's second polygon lies.
size_t PolygonsAt(const std::string& bytes) {
  const HostPolygon second{0, 1, 2, 3};
  return bytes.find(std::string(reinterpret_cast<const char*>(&second), sizeof second)) - sizeof second;
}

TEST(ModelWire, PointsComeBackExactly) {
  for (const double z : {0.5, 0.1, 1e300, -1e300}) {
    Model model = TwoNodeModel();
    model.nodes[1].mesh.points[3].z = z;
    const ModelResult back = Parse(Wire({Viewed(model), {}}));
    ASSERT_NE(back.model, nullptr) << back.error;
    for (size_t k = 0; k < 4; ++k) {
      const HostVector& a = back.model->nodes[1].view.points[k];
      const HostVector& b = model.nodes[1].mesh.points[k];
      EXPECT_TRUE(a.x == b.x && a.y == b.y && a.z == b.z) << z;
    }
  }
}

TEST(ModelWire, AModelAndItsFilesComeBackAsTheyWere) {
  const auto model = Viewed(TwoNodeModel());
  FileStamp stamp;
  stamp.path = "/some/where/m.bin";
  stamp.size = 720;
  stamp.time = fs::file_time_type(fs::file_time_type::duration(123456789));
  std::vector<FileStamp> opened;
  const ModelResult back = Parse(Wire({model, {}}, {stamp}), &opened);
  ASSERT_NE(back.model, nullptr) << back.error;
  EXPECT_EQ(back.model->frame, model->frame);
  EXPECT_EQ(back.model->skippedFaces, 2u);
  EXPECT_EQ(back.model->polygons, 2u);
  EXPECT_DOUBLE_EQ(back.model->readSeconds, 0.25);
  ASSERT_EQ(back.model->nodes.size(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(back.model->nodes[i].name, model->nodes[i].name);
    EXPECT_EQ(back.model->nodes[i].parent, model->nodes[i].parent);
    EXPECT_EQ(back.model->nodes[i].end, model->nodes[i].end);
    EXPECT_EQ(back.model->nodes[i].view.points.size, model->nodes[i].mesh.points.size());
  }
  EXPECT_EQ(back.model->nodes[1].view.polygons[1].d, 3);
  EXPECT_EQ(back.model->nodes[1].view.points[2].y, 1.0);
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_TRUE(opened[0] == stamp);
}

TEST(ModelWire, AnErrorLineComesBackAsOneLineOfUtf8) {
  const ModelResult back = Parse(Wire({nullptr, "m.glb: node 'A\xFF' is\nbroken"}));
  EXPECT_EQ(back.model, nullptr);
  EXPECT_EQ(back.error, "m.glb: node 'A\xEF\xBF\xBD' is broken");
}

TEST(ModelWire, AnswersCutShortAnywhereAreMalformed) {
  const std::string bytes = Wire({Viewed(TwoNodeModel()), {}});
  for (size_t size = 0; size < bytes.size(); ++size) {
    SCOPED_TRACE(size);
    const ModelResult back = Parse(bytes.substr(0, size));
    EXPECT_EQ(back.model, nullptr);
    EXPECT_EQ(back.error.rfind("m.glb: the reader's answer is malformed (", 0), 0u) << back.error;
  }
  EXPECT_NE(Parse(bytes).model, nullptr);
}

TEST(ModelWire, CornersOutsideTheirNodesPointsOrPointsNotFiniteAreMalformed) {
  const std::string bytes = Wire({Viewed(TwoNodeModel()), {}});
  const size_t polygons = PolygonsAt(bytes);
  for (const int32_t corner : {4, -1, 1 << 30}) {
    std::string bad = bytes;
    std::memcpy(&bad[polygons + 3 * sizeof(int32_t)], &corner, sizeof corner);
    EXPECT_NE(Parse(bad).error.find("has a corner outside its points"), std::string::npos) << corner;
  }
  Model nan = TwoNodeModel();
  nan.nodes[1].mesh.points[1].z = std::nan("");
  EXPECT_NE(Parse(Wire({Viewed(nan), {}})).error.find("not finite"), std::string::npos);
}

// Every coordinate of a long node, wherever it lies, is checked: the check
// runs over all of them at once, not point by point. The extremes of the
// finite doubles pass; infinities and NaNs of either sign do not.
TEST(ModelWire, EveryCoordinateIsCheckedAndOnlyFiniteOnesPass) {
  Model model = TwoNodeModel();
  std::vector<HostVector>& points = model.nodes[1].mesh.points;
  points.resize(37, HostVector{0.5, -0.5, 2.0});
  points[5] = {std::numeric_limits<double>::max(), -std::numeric_limits<double>::max(),
               std::numeric_limits<double>::denorm_min()};
  points[6] = {-0.0, std::numeric_limits<double>::min(), -std::numeric_limits<double>::denorm_min()};
  ASSERT_NE(Parse(Wire({Viewed(model), {}})).model, nullptr);
  const double inf = std::numeric_limits<double>::infinity(), nan = std::numeric_limits<double>::quiet_NaN();
  for (const double bad : {inf, -inf, nan, -nan})
    for (const size_t at : {size_t{0}, size_t{17}, size_t{36}})
      for (int axis = 0; axis < 3; ++axis) {
        Model broken = model;
        HostVector& p = broken.nodes[1].mesh.points[at];
        (axis == 0 ? p.x : axis == 1 ? p.y : p.z) = bad;
        EXPECT_NE(Parse(Wire({Viewed(broken), {}})).error.find("node 1 has a point that is not finite"),
                  std::string::npos)
            << bad << " at " << at << " axis " << axis;
      }
}

// The last corner of a node's last polygon counts as much as the first, and a
// node's largest point index is fine.
TEST(ModelWire, EveryCornerIsCheckedAgainstItsOwnNode) {
  Model model = TwoNodeModel();
  model.nodes[1].mesh.polygons.assign(9, HostPolygon{0, 1, 3, 2});
  ASSERT_NE(Parse(Wire({Viewed(model), {}})).model, nullptr);
  for (const int32_t corner : {4, -1, std::numeric_limits<int32_t>::min()}) {
    Model broken = model;
    broken.nodes[1].mesh.polygons.back().d = corner;
    EXPECT_NE(Parse(Wire({Viewed(broken), {}})).error.find("node 1 has a corner outside its points"), std::string::npos)
        << corner;
  }
}

// The reader makes the model's arrays in the answer file itself: they are
// named where they lie, and the host reads them there.
TEST(ModelWire, ArraysAlreadyInTheFileAreNamedWhereTheyLie) {
  const auto model = Viewed(TwoNodeModel());
  const std::vector<HostVector>& points = model->nodes[1].mesh.points;
  const int fd = ::memfd_create("wire-test", MFD_CLOEXEC);
  ASSERT_GE(fd, 0);
  const size_t bytes = points.size() * sizeof(HostVector);
  ASSERT_EQ(::pwrite(fd, points.data(), bytes, 4096), static_cast<ssize_t>(bytes));
  const InPlace inPlace{reinterpret_cast<const char*>(points.data()), bytes, 4096};
  ASSERT_TRUE(WriteModelResult(fd, {model, {}}, {}, {inPlace}, 4096 + bytes));
  std::string file(static_cast<size_t>(::lseek(fd, 0, SEEK_END)), '\0');
  ASSERT_EQ(::pread(fd, file.data(), file.size(), 0), static_cast<ssize_t>(file.size()));
  ::close(fd);
  const ModelResult back = Parse(file);
  ASSERT_NE(back.model, nullptr) << back.error;
  EXPECT_EQ(reinterpret_cast<const char*>(back.model->nodes[1].view.points.data),
            static_cast<const char*>(back.model->storage.get()) + 4096);
  EXPECT_EQ(back.model->nodes[1].view.points[2].x, 1.0);
  EXPECT_EQ(back.model->nodes[1].view.polygons[1].d, 3);
  // Named past the file's end, or not aligned, they are refused: the
  // points' offset follows the node's name, its parent, end and count.
  const std::string name = "W\xEF\xBF\xBDrfel";
  const size_t at = file.find(name) + name.size() + 2 * sizeof(int32_t) + sizeof(uint64_t);
  for (const uint64_t offset : {uint64_t{file.size() - 8}, uint64_t{4097}, ~uint64_t{0}}) {
    std::string bad = file;
    std::memcpy(&bad[at], &offset, sizeof offset);
    EXPECT_NE(Parse(bad).error.find("node 1 has arrays outside the answer"), std::string::npos) << offset;
  }
}

TEST(ModelWire, NodesThatMakeNoTreeAreMalformed) {
  const auto broken = [](int node, int parent, int end) {
    Model model = TwoNodeModel();
    model.nodes[static_cast<size_t>(node)].parent = parent;
    model.nodes[static_cast<size_t>(node)].end = end;
    return Parse(Wire({Viewed(model), {}})).error;
  };
  EXPECT_NE(broken(0, 1, 3).find("no parent before it"), std::string::npos);
  EXPECT_NE(broken(1, 1, 2).find("no parent before it"), std::string::npos);
  EXPECT_NE(broken(1, 0, 4).find("ends outside the tree"), std::string::npos);
  EXPECT_NE(broken(1, 0, 1).find("ends outside the tree"), std::string::npos);
  EXPECT_NE(broken(2, 1, 3).find("lies outside its parent"), std::string::npos);
}

TEST(ModelWire, CountsBeyondTheBytesAreMalformedWithoutAllocatingForThem) {
  std::string bytes = Wire({Viewed(TwoNodeModel()), {}});
  // The node count follows the frame, the skipped faces and the two times.
  const size_t count = bytes.find("z up turned to y up") + 19 + 3 * sizeof(double);
  const uint64_t huge = uint64_t{1} << 60;
  std::memcpy(&bytes[count], &huge, sizeof huge);
  EXPECT_NE(Parse(bytes).error.find("malformed (cut short)"), std::string::npos);
}

TEST(Utf8, InvalidBytesBecomeReplacementCharactersAndValidTextStays) {
  const std::string fffd = "\xEF\xBF\xBD";
  EXPECT_EQ(ValidUtf8("Grüße, 日本, 😀"), "Grüße, 日本, 😀");
  EXPECT_EQ(ValidUtf8("W\xFCrfel"), "W" + fffd + "rfel");               // Latin-1
  EXPECT_EQ(ValidUtf8("\x80x\xBF"), fffd + "x" + fffd);                 // stray continuations
  EXPECT_EQ(ValidUtf8("a\xE6\x97"), "a" + fffd + fffd);                 // cut short
  EXPECT_EQ(ValidUtf8("\xC0\xAF"), fffd + fffd);                        // overlong '/'
  EXPECT_EQ(ValidUtf8("\xED\xA0\x80"), fffd + fffd + fffd);             // a surrogate
  EXPECT_EQ(ValidUtf8("\xF4\x90\x80\x80"), fffd + fffd + fffd + fffd);  // above U+10FFFF
  EXPECT_EQ(OneLine("two\nlines\t\xFF \r\n"), "two lines " + fffd);
}

TEST(Utf8, NamesThatAreNoUtf8AreReadAsLatin1) {
  EXPECT_EQ(NameText("Grüße"), "Grüße");                        // valid UTF-8 stays
  EXPECT_EQ(NameText("W\xFCrfel"), "Würfel");                   // Latin-1 ü
  EXPECT_EQ(NameText("\xE6\x97 cut"), "\xC3\xA6\xC2\x97 cut");  // not UTF-8: every byte is one character
  EXPECT_EQ(NameText("two\nlines"), "two lines");
}

TEST(ImportLimits, SizesAreBytesOrPowersOf1024) {
  uint64_t bytes = 0;
  EXPECT_TRUE(ParseByteSize("2G", bytes));
  EXPECT_EQ(bytes, 2ull << 30);
  EXPECT_TRUE(ParseByteSize("512mb", bytes));
  EXPECT_EQ(bytes, 512ull << 20);
  EXPECT_TRUE(ParseByteSize("1000", bytes));
  EXPECT_EQ(bytes, 1000u);
  for (const char* bad : {"", "G", "2 G", "2X", "-1", "1.5G", "99999999999999T"})
    EXPECT_FALSE(ParseByteSize(bad, bytes)) << bad;
  EXPECT_EQ(FormatByteSize(4ull << 30), "4 GB");
  EXPECT_EQ(FormatByteSize(256ull << 20), "256 MB");
  EXPECT_EQ(FormatByteSize(1000), "1000 bytes");
  const ImportLimits defaults = DefaultImportLimits();
  EXPECT_LE(defaults.memoryBytes, 4ull << 30);
  EXPECT_EQ(defaults.seconds, 120.0);
}

TEST(ConfinedFiles, APathLiesWithinAFolderByWholeNamesNotByItsText) {
  EXPECT_TRUE(LiesWithin("/models/car/wheel.bin", "/models/car"));
  EXPECT_TRUE(LiesWithin("/models/car/parts/wheel.bin", "/models/car/"));
  EXPECT_TRUE(LiesWithin("/models/car", "/models/car"));
  EXPECT_FALSE(LiesWithin("/models/carpet/rug.bin", "/models/car"));
  EXPECT_FALSE(LiesWithin("/models/rug.bin", "/models/car"));
  EXPECT_FALSE(LiesWithin("/models", "/models/car"));
  EXPECT_TRUE(LiesWithin("/anything", "/"));
}

// The COLLADA check reads the file in chunks of 1 MB: an index list whose
// tag or bad character lies across a chunk's end is still found, on its line.
TEST(HeaderChecks, TheCOLLADAIndexCheckFindsAStrayCharacterAcrossChunks) {
  const fs::path path = fs::temp_directory_path() / ("tessaline-chunks-" + std::to_string(::getpid()) + ".dae");
  for (size_t shift = 0; shift < 10; ++shift) {  // the chunk ends before, in and after "<p>"
    SCOPED_TRACE(shift);
    std::string text = "<COLLADA>\n<!--";
    text += std::string((1 << 20) - text.size() - shift, 'x') + "\n-->";  // "<p>" lies across the chunk's end
    text += "<p>0 1 2\n3 4 ) 5</p></COLLADA>\n";
    std::ofstream(path, std::ios::binary) << text;
    EXPECT_EQ(CheckModelFile(path.string()), path.string() + ":4: <p> holds ')', not only indices");
  }
  std::ofstream(path, std::ios::binary) << "<COLLADA><p>0 1 2</p><vcount>3</vcount><pp>x</pp></COLLADA>";
  EXPECT_EQ(CheckModelFile(path.string()), "");
  fs::remove(path);
}

}  // namespace
}  // namespace tess::assets
