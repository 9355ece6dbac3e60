// The corpus of mesh files as other tools write them (tests/assets/corpus/,
// made by scripts/make_corpus.sh), through the built host: every file either
// renders with the model in view or is refused in one line, as the corpus's
// manifest says; and flat polygons seen from straight above cover what they
// enclose and nothing else.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

#include "hostapp/render/image.h"
#include "hostapp/scene/json_access.h"

namespace tess::test {
namespace {

namespace fs = std::filesystem;
using render::Json;

const fs::path corpus = TESSALINE_CORPUS;

std::string Text(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string Quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

struct Entry {
  std::string file;
  std::string expect;   // "renders" or "refused"
  std::string message;  // refused: what the one line must contain
  bool tall = false;    // renders: the model's height axis comes out vertical
  std::vector<std::string> names;
  std::string why;
};

// Test names show the file, not the bytes of the entry.
void PrintTo(const Entry& e, std::ostream* os) {
  *os << e.file;
}

Json Manifest() {
  return Json::parse(Text(corpus / "manifest.json"));
}

std::vector<Entry> Entries() {
  std::vector<Entry> entries;
  const Json manifest = Manifest();
  for (const Json& j : manifest.at("files")) {
    Entry e;
    e.file = j.at("file").get<std::string>();
    e.expect = j.at("expect").get<std::string>();
    e.message = j.value("message", "");
    e.tall = j.value("tall", false);
    e.names = j.value("names", std::vector<std::string>());
    e.why = j.value("why", "");
    entries.push_back(e);
  }
  return entries;
}

// Each test renders into a folder of its own.
class Corpus : public ::testing::Test {
 protected:
  Corpus() {
    std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    for (char& c : name) c = std::isalnum(static_cast<unsigned char>(c)) != 0 ? c : '_';
    folder = fs::temp_directory_path() / ("tessaline-corpus-" + name + "-" + std::to_string(::getpid()));
    fs::remove_all(folder);
    fs::create_directories(folder);
  }
  ~Corpus() override {
    std::error_code ec;
    fs::remove_all(folder, ec);
  }

  struct Run {
    int exitCode = -1;  // -1: the host did not exit by itself (a crash)
    std::string errors;
  };

  Run Host(const std::string& arguments) const {
    const fs::path err = folder / "stderr.txt";
    const std::string command = Quote(TESSALINE_HOST_PROGRAM) + " " + arguments + " >" +
                                Quote((folder / "stdout.txt").string()) + " 2>" + Quote(err.string());
    const int status = std::system(command.c_str());
    Run run;
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.errors = Text(err);
    return run;
  }

  // A scene on a black background, at a size fit for counting pixels.
  render::Image8 RenderScene(Json scene, int width, int height) const {
    scene["image"] = {{"width", width}, {"height", height}, {"samples", 1}, {"background", {0, 0, 0}}};
    const fs::path path = folder / "scene.json";
    std::ofstream(path) << scene.dump(1);
    const fs::path png = folder / "scene.png";
    const Run run = Host("render " + Quote(path.string()) + " -o " + Quote(png.string()) + " --threads 2");
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    render::Image8 image;
    if (run.exitCode == 0) EXPECT_EQ(render::ReadPng(png.string(), image), "");
    return image;
  }

  fs::path folder;
};

bool Lit(const render::Image8& image, int x, int y) {
  const size_t at = 3 * (static_cast<size_t>(y) * static_cast<size_t>(image.width) + static_cast<size_t>(x));
  return image.rgb[at] > 3 || image.rgb[at + 1] > 3 || image.rgb[at + 2] > 3;
}

struct Coverage {
  size_t lit = 0;
  int left = 1 << 30, right = -1, top = 1 << 30, bottom = -1;
};

Coverage Cover(const render::Image8& image) {
  Coverage c;
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x)
      if (Lit(image, x, y)) {
        ++c.lit;
        c.left = std::min(c.left, x);
        c.right = std::max(c.right, x);
        c.top = std::min(c.top, y);
        c.bottom = std::max(c.bottom, y);
      }
  return c;
}

// Text for a failure message, with every byte outside ASCII as \xNN: the
// names in question may be bytes of any encoding.
std::string AsciiOnly(const std::string& s) {
  std::ostringstream out;
  for (unsigned char c : s)
    if (c < 0x80)
      out << c;
    else
      out << "\\x" << std::hex << static_cast<int>(c);
  return out.str();
}

// --- Every file as the manifest says -------------------------------------

class CorpusFile : public Corpus, public ::testing::WithParamInterface<Entry> {
 protected:
  void ExpectRenders(const Entry& e) const;
};

// `render MODEL` at a small size, with the scene it made printed; then that
// scene without its ground, on black, to see what of the model shows.
void CorpusFile::ExpectRenders(const Entry& e) const {
  const fs::path png = folder / "model.png";
  const fs::path scene = folder / "model.json";
  const Run run = Host("render " + Quote((corpus / e.file).string()) + " -o " + Quote(png.string()) +
                       " --width 96 --height 72 --samples 1 --threads 2 --print-scene " + Quote(scene.string()));
  ASSERT_EQ(run.exitCode, 0) << run.errors;
  ASSERT_TRUE(fs::exists(png));
  const std::string sceneText = Text(scene);
  for (const std::string& name : e.names)
    EXPECT_NE(sceneText.find(Json(name).dump()), std::string::npos)
        << "the printed scene names " << name << ": " << AsciiOnly(sceneText);
  Json made = Json::parse(sceneText, nullptr, false);
  ASSERT_FALSE(made.is_discarded()) << "the printed scene is JSON: " << AsciiOnly(sceneText);
  // The model's own objects only: the ground and any other primitive go.
  Json objects = Json::array();
  for (const Json& object : made.at("objects"))
    if (!object.at("mesh").contains("primitive")) {
      Json kept = object;
      // The printed path is relative to the printed scene's folder, which is ours.
      kept["mesh"]["file"] = (folder / object["mesh"]["file"].get<std::string>()).lexically_normal().string();
      objects.push_back(kept);
    }
  ASSERT_FALSE(objects.empty());
  made["objects"] = objects;
  const render::Image8 image = RenderScene(made, 96, 72);
  ASSERT_EQ(image.rgb.size(), 96u * 72u * 3u);
  const Coverage c = Cover(image);
  // Framed by the camera, a model covers far more than this: a flat disc
  // seen from the camera's height covers a tenth of the image.
  EXPECT_GT(c.lit, 96u * 72u / 50u) << "the model is (nearly) out of view: " << c.lit << " pixels";
  if (e.tall && c.lit > 0) {
    const int width = c.right - c.left + 1;
    const int height = c.bottom - c.top + 1;
    EXPECT_GT(height, width * 5 / 4) << "the model lies on its side: " << width << " x " << height << " pixels";
  }
}

TEST_P(CorpusFile, RendersOrIsRefusedAsTheManifestSays) {
  const Entry& e = GetParam();
  SCOPED_TRACE(e.file + ": " + e.why);
  ASSERT_TRUE(fs::is_regular_file(corpus / e.file));
  if (e.expect == "renders") {
    ExpectRenders(e);
    return;
  }
  ASSERT_EQ(e.expect, "refused");
  const fs::path png = folder / "model.png";
  const Run run =
      Host("render " + Quote((corpus / e.file).string()) + " -o " + Quote(png.string()) + " --width 32 --height 24");
  EXPECT_GT(run.exitCode, 0) << "refused, not rendered nor crashed: " << run.errors;
  EXPECT_EQ(std::count(run.errors.begin(), run.errors.end(), '\n'), 1) << "one line: " << run.errors;
  EXPECT_NE(run.errors.find(e.message), std::string::npos) << run.errors;
  EXPECT_FALSE(fs::exists(png)) << "no image for a refused file";
}

std::string TestName(const ::testing::TestParamInfo<Entry>& info) {
  std::string name = info.param.file;
  for (char& c : name) c = std::isalnum(static_cast<unsigned char>(c)) != 0 ? c : '_';
  return name;
}

INSTANTIATE_TEST_SUITE_P(Corpus, CorpusFile, ::testing::ValuesIn(Entries()), TestName);

TEST_F(Corpus, EveryFileOfTheCorpusIsInTheManifest) {
  std::set<std::string> listed;
  for (const Entry& e : Entries()) {
    EXPECT_TRUE(listed.insert(e.file).second) << e.file << " is listed twice";
    EXPECT_TRUE(e.expect == "renders" || e.expect == "refused") << e.file << ": " << e.expect;
    EXPECT_TRUE(e.expect == "renders" || !e.message.empty()) << e.file << ": a refusal names its message";
  }
  const Json manifest = Manifest();
  for (const Json& c : manifest.at("companions")) listed.insert(c.get<std::string>());
  for (const auto& item : fs::recursive_directory_iterator(corpus)) {
    const std::string file = item.path().lexically_relative(corpus).generic_string();
    if (!item.is_regular_file() || file == "manifest.json" || file.rfind("source/", 0) == 0) continue;
    EXPECT_EQ(listed.count(file), 1u) << file << " is not in manifest.json";
  }
}

// --- Flat polygons seen from straight above --------------------------------

// A camera 4 above the origin looking down, +x to the right and -z up the
// image, over 128 x 128 pixels: a flat shape on the ground shows as drawn.
constexpr int side = 128;
constexpr double height = 4.0;
constexpr double halfFovTan = 0.36397023426620234;  // tan(20 degrees)

Json TopView(const fs::path& file) {
  return {{"camera", {{"position", {0, height, 0}}, {"target", {0, 0, 0}}, {"up", {0, 0, -1}}, {"fov", 40}}},
          {"objects", Json::array({{{"name", "shape"}, {"mesh", {{"file", file.string()}}}}})}};
}

// The pixel under the ground point at distance r in direction `degrees`
// (counter-clockwise from +x, seen from above).
std::pair<int, int> Pixel(double r, double degrees) {
  const double a = degrees * 3.141592653589793 / 180.0;
  const double perUnit = (side / 2.0) / (height * halfFovTan);
  return {static_cast<int>(side / 2.0 + r * std::cos(a) * perUnit),
          static_cast<int>(side / 2.0 - r * std::sin(a) * perUnit)};
}

// All of the 3 x 3 pixels about the point lit, or none: a point well inside
// or well outside the shape, away from its edges' antialiasing.
void ExpectCovered(const render::Image8& image, double r, double degrees, bool covered, const std::string& what) {
  const auto [x, y] = Pixel(r, degrees);
  int lit = 0;
  for (int dy = -1; dy <= 1; ++dy)
    for (int dx = -1; dx <= 1; ++dx) lit += Lit(image, x + dx, y + dy) ? 1 : 0;
  EXPECT_EQ(lit, covered ? 9 : 0) << what << " at radius " << r << ", " << degrees << " degrees (pixel " << x << ", "
                                  << y << ")";
}

struct Ring {
  const char* file;
  double outer, inner;
  bool slot;  // a slot through the ring at +x
};

TEST_F(Corpus, RingFacesKeepTheirHole) {
  const Ring rings[] = {
      {"ring_c.obj", 1.0, 0.5, true},  {"ring_keyhole.obj", 1.0, 0.5, false}, {"letter.obj", 1.0, 0.65, true},
      {"letter.fbx", 1.0, 0.65, true}, {"letter.dae", 1.0, 0.65, true},       {"letter.ply", 1.0, 0.65, true},
  };
  for (const Ring& ring : rings) {
    SCOPED_TRACE(ring.file);
    const render::Image8 image = RenderScene(TopView(corpus / ring.file), side, side);
    if (image.rgb.empty()) continue;
    const double middle = (ring.outer + ring.inner) / 2;
    ExpectCovered(image, 0.0, 0, false, "the hole");
    ExpectCovered(image, ring.inner * 0.6, 135, false, "the hole");
    for (double degrees : {90.0, 180.0, 270.0}) ExpectCovered(image, middle, degrees, true, "the ring");
    ExpectCovered(image, middle, 0, !ring.slot, ring.slot ? "the slot" : "the ring");
    ExpectCovered(image, ring.outer * 1.2, 45, false, "outside");
  }
}

TEST_F(Corpus, FacesOfHundredsOfCornersAreWholeDiscs) {
  for (const char* file : {"disc_300.obj", "disc_1000.obj", "huge_polygon.obj"}) {
    SCOPED_TRACE(file);
    const render::Image8 image = RenderScene(TopView(corpus / file), side, side);
    if (image.rgb.empty()) continue;
    ExpectCovered(image, 0.0, 0, true, "the centre");
    for (int degrees = 0; degrees < 360; degrees += 30) ExpectCovered(image, 0.8, degrees, true, "the disc");
    for (int degrees = 15; degrees < 360; degrees += 90) ExpectCovered(image, 1.2, degrees, false, "outside");
  }
}

TEST_F(Corpus, AStarCoversItsPointsAndNotTheNotchesBetweenThem) {
  const render::Image8 image = RenderScene(TopView(corpus / "star.obj"), side, side);
  ASSERT_FALSE(image.rgb.empty());
  ExpectCovered(image, 0.0, 0, true, "the centre");
  for (int k = 0; k < 5; ++k) {
    ExpectCovered(image, 0.55, 90 + 72 * k, true, "a point");
    ExpectCovered(image, 0.8, 126 + 72 * k, false, "a notch");
  }
}

}  // namespace
}  // namespace tess::test
