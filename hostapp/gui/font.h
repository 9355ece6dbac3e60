// The panel's text: a TrueType face rendered by FreeType, antialiased.
#ifndef TESSALINE_HOSTAPP_GUI_FONT_H
#define TESSALINE_HOSTAPP_GUI_FONT_H

#include <cstdint>
#include <memory>
#include <string>

#include "hostapp/gui/image.h"

namespace tess::gui {

// The face panels are drawn with unless told otherwise.
constexpr const char* panelFontPath = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

class Font {
 public:
  // Opens a font file at a size in pixels; null with a reason on failure.
  static std::unique_ptr<Font> Open(const std::string& path, int32_t pixelSize, std::string* why);
  Font(const Font&) = delete;
  Font& operator=(const Font&) = delete;
  ~Font();

  // Pixels from the top of a line to its baseline, and from line to line.
  int32_t Ascent() const { return ascent; }
  int32_t LineHeight() const { return lineHeight; }

  // Pixel width of a line of UTF-8 text; bytes that are not UTF-8 show as U+FFFD.
  int32_t TextWidth(const std::string& text) const;
  // The text, or its longest start followed by an ellipsis, that fits in maxWidth pixels.
  std::string Fit(const std::string& text, int32_t maxWidth) const;
  // Draws a line of text with the top of the line at y; returns the x after the last glyph.
  int32_t DrawText(Image& target, int32_t x, int32_t y, const std::string& text, Rgba colour) const;

 private:
  struct Face;
  explicit Font(std::unique_ptr<Face> f);

  // Walks the glyphs of a line with the pen starting at x, kerning included:
  // visit(penX, glyphIndex) loads the glyph and says whether it may advance.
  // Returns the pen's end.
  template <typename Visit>
  int32_t Walk(const std::string& text, int32_t x, Visit&& visit) const;

  std::unique_ptr<Face> face;
  int32_t ascent = 0;
  int32_t lineHeight = 0;
};

}  // namespace tess::gui

#endif
