// The host's bitmaps and drawing, which the title bar's look rests on.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "hostapp/gui/bitmaps.h"
#include "hostapp/gui/dialogs.h"
#include "hostapp/gui/image.h"
#include "tests/titlebar/titlebar_fixture.h"

namespace tess::test {
namespace {

using gui::Image;
using gui::Rgba;

bool Same(Rgba a, Rgba b) {
  return a.r == b.r && a.g == b.g && a.b == b.b && a.a == b.a;
}

// Two columns: black, white.
Image TwoColumns() {
  Image image(2, 1);
  image.Set(0, 0, Rgba{0, 0, 0, 255});
  image.Set(1, 0, Rgba{255, 255, 255, 255});
  return image;
}

TEST(GuiDrawing, NearestStretchKeepsHardEdges) {
  Image target(8, 1, Rgba{9, 9, 9, 255});
  gui::DrawScaled(target, TwoColumns(), 0, 0, 8, 1, 0, 0, 2, 1, gui::Filter::Nearest);
  for (int x = 0; x < 4; ++x) EXPECT_EQ(target.At(x, 0).r, 0) << x;
  for (int x = 4; x < 8; ++x) EXPECT_EQ(target.At(x, 0).r, 255) << x;
}

TEST(GuiDrawing, BilinearStretchBlendsBetweenPixels) {
  Image target(8, 1, Rgba{9, 9, 9, 255});
  gui::DrawScaled(target, TwoColumns(), 0, 0, 8, 1, 0, 0, 2, 1, gui::Filter::Bilinear);
  EXPECT_EQ(target.At(0, 0).r, 0);  // clamped at the source's edge
  EXPECT_EQ(target.At(7, 0).r, 255);
  for (int x = 1; x < 8; ++x) EXPECT_GE(target.At(x, 0).r, target.At(x - 1, 0).r);
  EXPECT_GT(target.At(4, 0).r, 0);
  EXPECT_LT(target.At(3, 0).r, 255);
}

TEST(GuiDrawing, RowsBeyondTheBitmapLeaveTheTargetAlone) {
  const Image bitmap(4, 2, Rgba{200, 0, 0, 255});
  Image target(4, 4, Rgba{1, 2, 3, 255});
  gui::DrawScaled(target, bitmap, 0, 0, 4, 4, 0, 0, 4, 4, gui::Filter::Nearest);
  EXPECT_TRUE(Same(target.At(0, 1), Rgba{200, 0, 0, 255}));
  EXPECT_TRUE(Same(target.At(0, 2), Rgba{1, 2, 3, 255}));
}

TEST(GuiDrawing, HugeOrDegenerateRectanglesAreHarmless) {
  const Image bitmap(4, 4, Rgba{200, 0, 0, 255});
  Image target(4, 4, Rgba{1, 2, 3, 255});
  gui::DrawScaled(target, bitmap, -2000000000, -5, 2147483647, 100, 0, 0, 4, 4, gui::Filter::Bilinear);
  gui::DrawScaled(target, bitmap, 0, 0, 0, 4, 0, 0, 4, 4, gui::Filter::Nearest);
  gui::DrawScaled(target, bitmap, 0, 0, 4, 4, 0, 0, -1, 4, gui::Filter::Nearest);
  EXPECT_TRUE(Same(target.At(3, 3), Rgba{200, 0, 0, 255}));
}

TEST(GuiDrawing, TranslucentPixelsBlendOver) {
  Image target(1, 1, Rgba{0, 0, 0, 255});
  target.Blend(0, 0, Rgba{255, 255, 255, 128});
  EXPECT_NEAR(target.At(0, 0).r, 128, 1);
  EXPECT_EQ(target.At(0, 0).a, 255);
}

class GuiBitmapTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = fs::temp_directory_path() /
             (std::string("tessaline-bitmaps-") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder);
    fs::create_directories(folder);
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(folder, ec);
  }
  fs::path folder;
};

TEST_F(GuiBitmapTest, LoadsSizeAndPixels) {
  WriteTiff(folder / "a.tif", 7, 24, 77);
  Image image;
  std::string why;
  ASSERT_EQ(gui::LoadTiff((folder / "a.tif").string(), -1, image, &why), gui::loadOk) << why;
  EXPECT_EQ(image.Width(), 7);
  EXPECT_EQ(image.Height(), 24);
  EXPECT_TRUE(Same(image.At(6, 23), Rgba{77, 77, 77, 255}));
}

TEST_F(GuiBitmapTest, MissingWrongAndTruncatedFilesFailCleanly) {
  Image image;
  std::string why;
  EXPECT_EQ(gui::LoadTiff((folder / "none.tif").string(), -1, image, &why), gui::loadMissing);
  EXPECT_EQ(gui::LoadTiff(folder.string(), -1, image, &why), gui::loadMissing);
  std::ofstream(folder / "text.tif") << "not an image at all";
  EXPECT_EQ(gui::LoadTiff((folder / "text.tif").string(), -1, image, &why), gui::loadUnreadable);
  std::ofstream(folder / "empty.tif").close();
  EXPECT_EQ(gui::LoadTiff((folder / "empty.tif").string(), -1, image, &why), gui::loadUnreadable);
  WriteTiff(folder / "cut.tif", 64, 64);
  fs::resize_file(folder / "cut.tif", fs::file_size(folder / "cut.tif") / 3);
  EXPECT_EQ(gui::LoadTiff((folder / "cut.tif").string(), -1, image, &why), gui::loadUnreadable);
  EXPECT_FALSE(why.empty());
  WriteTiff(folder / "one.tif", 4, 4);
  EXPECT_EQ(gui::LoadTiff((folder / "one.tif").string(), 3, image, &why), gui::loadUnreadable);
  EXPECT_TRUE(image.Empty()) << "a failed load left an image behind";
}

TEST_F(GuiBitmapTest, EveryShippedBitmapIs24PixelsHighAndHoverDiffers) {
  const fs::path gui = fs::path(TESSALINE_SOURCE_DIR) / "res" / "gui";
  const char* files[] = {"t_left.tif", "t_cntr.tif", "t_rght.tif", "t_caps.tif", "name_a.tif",
                         "name_b.tif", "help_a.tif", "help_b.tif", "home_a.tif", "home_b.tif"};
  for (const char* file : files) {
    Image image;
    std::string why;
    ASSERT_EQ(gui::LoadTiff((gui / file).string(), -1, image, &why), gui::loadOk) << file << ": " << why;
    EXPECT_EQ(image.Height(), 24) << file;
  }
  for (const char* base : {"name", "help", "home"}) {
    Image plain, hover;
    std::string why;
    gui::LoadTiff((gui / (std::string(base) + "_a.tif")).string(), -1, plain, &why);
    gui::LoadTiff((gui / (std::string(base) + "_b.tif")).string(), -1, hover, &why);
    EXPECT_EQ(plain.Width(), hover.Width()) << base;
    EXPECT_NE(plain.Bytes(), hover.Bytes()) << base << ": the hovered look is the plain one";
  }
}

}  // namespace
}  // namespace tess::test
