// A 5 x 7 pixel font for the panel's labels and values.
#ifndef TESSALINE_HOSTAPP_GUI_FONT_H
#define TESSALINE_HOSTAPP_GUI_FONT_H

#include <string>

#include "hostapp/gui/image.h"

namespace tess::gui {

constexpr int32_t glyphAdvance = 6;  // five columns and one of spacing
constexpr int32_t glyphHeight = 7;

// Pixel width of a line of text; characters outside printable ASCII show as '?'.
int32_t TextWidth(const std::string& text);
// Draws text with its top left at (x, y); returns the x after the last glyph.
int32_t DrawText(Image& target, int32_t x, int32_t y, const std::string& text, Rgba colour);

}  // namespace tess::gui

#endif
