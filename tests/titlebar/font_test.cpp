// The panel's text: FreeType with the panel's face.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "hostapp/gui/font.h"

namespace tess::test {
namespace {

using gui::Font;
using gui::Image;
using gui::Rgba;

constexpr Rgba background{40, 40, 40, 255};
constexpr Rgba ink{240, 240, 240, 255};

std::unique_ptr<Font> PanelFont() {
  std::string why;
  std::unique_ptr<Font> font = Font::Open(gui::panelFontPath, 12, &why);
  EXPECT_NE(font, nullptr) << why;
  return font;
}

TEST(Font, MissingFileIsAReasonNamingIt) {
  std::string why;
  EXPECT_EQ(Font::Open("/nonexistent/face.ttf", 12, &why), nullptr);
  EXPECT_EQ(why, "/nonexistent/face.ttf: the font file cannot be opened");
}

TEST(Font, FileThatIsNoFontIsRefused) {
  std::string why;
  EXPECT_EQ(Font::Open(TESSALINE_SOURCE_DIR "/README.md", 12, &why), nullptr);
  EXPECT_NE(why.find("README.md: not a font file"), std::string::npos) << why;
}

TEST(Font, GlyphsAreAntialiased) {
  const auto font = PanelFont();
  ASSERT_NE(font, nullptr);
  Image image(80, font->LineHeight(), background);
  font->DrawText(image, 2, 0, "Radius 0.5", ink);
  std::set<int> levels;
  for (int32_t y = 0; y < image.Height(); ++y)
    for (int32_t x = 0; x < image.Width(); ++x) levels.insert(image.At(x, y).r);
  // Edges of an outline cover pixels partly: many levels between ground and ink.
  EXPECT_GT(levels.size(), 20u);
  EXPECT_EQ(*levels.begin(), background.r);
  EXPECT_EQ(*levels.rbegin(), ink.r);
}

TEST(Font, ProportionalWidthsAndTheReturnedPen) {
  const auto font = PanelFont();
  ASSERT_NE(font, nullptr);
  EXPECT_GT(font->TextWidth("WWWW"), 2 * font->TextWidth("iiii"));
  EXPECT_EQ(font->TextWidth(""), 0);
  Image image(200, font->LineHeight(), background);
  EXPECT_EQ(font->DrawText(image, 10, 0, "Sampling", ink), 10 + font->TextWidth("Sampling"));
}

TEST(Font, TextKeepsToTheLineAndItsPen) {
  const auto font = PanelFont();
  ASSERT_NE(font, nullptr);
  // Drawn a line below the top, nothing lands above it; drawn at x, nothing left of it.
  Image image(120, 3 * font->LineHeight(), background);
  font->DrawText(image, 20, font->LineHeight(), "Edge Type", ink);
  for (int32_t y = 0; y < image.Height(); ++y)
    for (int32_t x = 0; x < image.Width(); ++x) {
      if (image.At(x, y).r == background.r) continue;
      EXPECT_GE(y, font->LineHeight()) << x << "," << y;
      EXPECT_LT(y, 2 * font->LineHeight()) << x << "," << y;
      EXPECT_GE(x, 20) << x << "," << y;
    }
}

TEST(Font, FitCutsAtACharacterAndEndsWithAnEllipsis) {
  const auto font = PanelFont();
  ASSERT_NE(font, nullptr);
  const std::string text = "Angle between the polygons";
  EXPECT_EQ(font->Fit(text, font->TextWidth(text)), text);
  const int32_t room = font->TextWidth(text) / 2;
  // The longest start that fits beside the ellipsis, by trying every one.
  size_t longest = 0;
  for (size_t n = 1; n <= text.size(); ++n)
    if (font->TextWidth(text.substr(0, n) + "\u2026") <= room) longest = n;
  ASSERT_GT(longest, 0u);
  std::string start = text.substr(0, longest);
  start.erase(start.find_last_not_of(' ') + 1);  // no space before the ellipsis
  EXPECT_EQ(font->Fit(text, room), start + "\u2026");
  EXPECT_EQ(font->Fit(text, 1), "\u2026");
}

TEST(Font, FitNeverSplitsAMultiByteCharacter) {
  const auto font = PanelFont();
  ASSERT_NE(font, nullptr);
  const std::string text = "\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9";  // two bytes each
  const std::string cut = font->Fit(text, font->TextWidth(text) / 2);
  ASSERT_LT(cut.size(), text.size());
  EXPECT_EQ((cut.size() - 3) % 2, 0u) << cut;
}

TEST(Font, MalformedUtf8ShowsTheReplacementCharacter) {
  const auto font = PanelFont();
  ASSERT_NE(font, nullptr);
  const int32_t replacement = font->TextWidth("\uFFFD");
  EXPECT_EQ(font->TextWidth("\xFF"), replacement);
  EXPECT_EQ(font->TextWidth("\xC3"), replacement);              // cut short
  EXPECT_EQ(font->TextWidth("\xC0\xAF"), 2 * replacement);      // overlong '/': lead and trail each
  EXPECT_EQ(font->TextWidth("\xED\xA0\x80"), 3 * replacement);  // a surrogate
  const std::string stray = std::string("a") + '\xFF' + "b";
  EXPECT_EQ(font->TextWidth(stray), font->TextWidth("a\uFFFDb"));
}

}  // namespace
}  // namespace tess::test
