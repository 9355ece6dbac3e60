#include "hostapp/gui/font.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <utility>
#include <vector>

namespace tess::gui {

struct Font::Face {
  FT_Library library = nullptr;
  FT_Face face = nullptr;

  Face() = default;
  Face(const Face&) = delete;
  Face& operator=(const Face&) = delete;
  ~Face() {
    if (face != nullptr) FT_Done_Face(face);
    if (library != nullptr) FT_Done_FreeType(library);
  }
};

namespace {

constexpr char32_t replacementCharacter = 0xFFFD;
// Light hinting snaps outlines to the pixel grid vertically only, which keeps
// the face's own shapes and spacing at small sizes.
constexpr FT_Int32 measureFlags = FT_LOAD_TARGET_LIGHT;
constexpr FT_Int32 renderFlags = FT_LOAD_TARGET_LIGHT | FT_LOAD_RENDER;

int32_t Pixels(FT_Pos position26Dot6) {
  return static_cast<int32_t>((position26Dot6 + 32) >> 6);
}

// The code point of the UTF-8 sequence at text[i], moving i past it. A
// malformed, overlong or surrogate sequence yields U+FFFD and moves past its
// lead byte only, so the next byte starts afresh.
char32_t NextCodePoint(const std::string& text, size_t& i) {
  const auto lead = static_cast<unsigned char>(text[i++]);
  if (lead < 0x80) return lead;
  int32_t extra = 0;
  char32_t least = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    extra = 1, least = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    extra = 2, least = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    extra = 3, least = 0x10000;
  } else {
    return replacementCharacter;
  }
  char32_t code = lead & (0x3Fu >> extra);
  size_t k = i;
  for (int32_t n = 0; n < extra; ++n, ++k) {
    if (k >= text.size() || (static_cast<unsigned char>(text[k]) & 0xC0) != 0x80) return replacementCharacter;
    code = (code << 6) | (static_cast<unsigned char>(text[k]) & 0x3Fu);
  }
  if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return replacementCharacter;
  i = k;
  return code;
}

std::string OpenError(FT_Error error) {
  switch (error) {
    case FT_Err_Cannot_Open_Resource:
      return "the font file cannot be opened";
    case FT_Err_Unknown_File_Format:
    case FT_Err_Invalid_File_Format:
      return "not a font file";
    default:
      return "FreeType could not read the font (error " + std::to_string(error) + ")";
  }
}

// The byte offsets at which each code point of text ends.
std::vector<size_t> CodePointEnds(const std::string& text) {
  std::vector<size_t> ends;
  for (size_t i = 0; i < text.size();) {
    NextCodePoint(text, i);
    ends.push_back(i);
  }
  return ends;
}

}  // namespace

Font::Font(std::unique_ptr<Face> f) : face(std::move(f)) {
  const FT_Size_Metrics& metrics = face->face->size->metrics;
  ascent = Pixels(metrics.ascender);
  // Some faces' line gap is smaller than their ascent and descent together;
  // the line must still hold every glyph.
  lineHeight = std::max(Pixels(metrics.height), ascent + Pixels(-metrics.descender));
}

Font::~Font() = default;

std::unique_ptr<Font> Font::Open(const std::string& path, int32_t pixelSize, std::string* why) {
  const auto fail = [&](const std::string& reason) {
    if (why != nullptr) *why = path + ": " + reason;
    return nullptr;
  };
  auto f = std::make_unique<Face>();
  if (FT_Init_FreeType(&f->library) != 0) return fail("FreeType could not start");
  if (const FT_Error error = FT_New_Face(f->library, path.c_str(), 0, &f->face); error != 0)
    return fail(OpenError(error));
  if (!FT_IS_SCALABLE(f->face)) return fail("not an outline font");
  if (FT_Set_Pixel_Sizes(f->face, 0, static_cast<FT_UInt>(pixelSize)) != 0) return fail("cannot be drawn at that size");
  return std::unique_ptr<Font>(new Font(std::move(f)));
}

template <typename Visit>
int32_t Font::Walk(const std::string& text, int32_t x, Visit&& visit) const {
  FT_Face ft = face->face;
  const bool kerning = FT_HAS_KERNING(ft);
  FT_Pos pen = static_cast<FT_Pos>(x) * 64;
  FT_UInt previous = 0;
  for (size_t i = 0; i < text.size();) {
    const FT_UInt index = FT_Get_Char_Index(ft, NextCodePoint(text, i));
    FT_Vector delta{};
    if (kerning && previous != 0 && FT_Get_Kerning(ft, previous, index, FT_KERNING_DEFAULT, &delta) == 0)
      pen += delta.x;
    if (!visit(Pixels(pen), index)) continue;
    pen += ft->glyph->advance.x;
    previous = index;
  }
  return Pixels(pen);
}

int32_t Font::TextWidth(const std::string& text) const {
  FT_Face ft = face->face;
  return Walk(text, 0, [ft](int32_t, FT_UInt index) { return FT_Load_Glyph(ft, index, measureFlags) == 0; });
}

std::string Font::Fit(const std::string& text, int32_t maxWidth) const {
  if (TextWidth(text) <= maxWidth) return text;
  const std::string ellipsis = "\u2026";
  const std::vector<size_t> ends = CodePointEnds(text);
  // The longest start that fits with the ellipsis, found by halving over code point boundaries.
  size_t low = 0;
  size_t high = ends.size();
  while (low < high) {
    const size_t middle = (low + high + 1) / 2;
    if (TextWidth(text.substr(0, ends[middle - 1]) + ellipsis) <= maxWidth) {
      low = middle;
    } else {
      high = middle - 1;
    }
  }
  std::string start = low == 0 ? std::string() : text.substr(0, ends[low - 1]);
  start.erase(start.find_last_not_of(' ') + 1);
  return start + ellipsis;
}

int32_t Font::DrawText(Image& target, int32_t x, int32_t y, const std::string& text, Rgba colour) const {
  FT_Face ft = face->face;
  const int32_t baseline = y + ascent;
  return Walk(text, x, [&](int32_t penX, FT_UInt index) {
    if (FT_Load_Glyph(ft, index, renderFlags) != 0) return false;
    const FT_GlyphSlot slot = ft->glyph;
    const FT_Bitmap& bitmap = slot->bitmap;
    const auto rows = static_cast<int32_t>(bitmap.rows);
    const auto columns = static_cast<int32_t>(bitmap.width);
    for (int32_t row = 0; row < rows; ++row) {
      // A negative pitch stores the rows bottom up.
      const int32_t stored = bitmap.pitch >= 0 ? row : rows - 1 - row;
      const unsigned char* line = bitmap.buffer + static_cast<ptrdiff_t>(stored) * std::abs(bitmap.pitch);
      for (int32_t column = 0; column < columns; ++column) {
        const uint32_t coverage = line[column];
        const auto alpha = static_cast<uint8_t>((coverage * colour.a + 127) / 255);
        target.Blend(penX + slot->bitmap_left + column, baseline - slot->bitmap_top + row,
                     Rgba{colour.r, colour.g, colour.b, alpha});
      }
    }
    return true;
  });
}

}  // namespace tess::gui
