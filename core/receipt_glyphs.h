// receipt_glyphs.h: the printer's character glyphs, drawn with FreeType from
// fonts of the system (DejaVu Sans Mono for the single-byte code pages,
// WenQuanYi Micro Hei for Chinese), as two-level bitmaps of the printer's
// cells: font A 12 x 24 dots, font B 9 x 17, two-byte characters 24 x 24.
#ifndef LORVEX_CORE_RECEIPT_GLYPHS_H
#define LORVEX_CORE_RECEIPT_GLYPHS_H

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

namespace receipt_render {

// A cell's dots, top row first, 1 = burnt.
struct Glyph {
  uint32_t width = 0, height = 0;
  std::vector<uint8_t> dots;
};

enum class Face { kFontA, kFontB, kWide };

class GlyphSource {
 public:
  // Opens the fonts (the paths may be overridden by LORVEX_FONT_MONO,
  // LORVEX_FONT_MONO_BOLD and LORVEX_FONT_CJK). A missing font leaves its
  // characters as empty boxes; Error() says which.
  GlyphSource();
  ~GlyphSource();
  GlyphSource(const GlyphSource&) = delete;
  GlyphSource& operator=(const GlyphSource&) = delete;

  // The cell of a Unicode character in a face, cached.
  const Glyph& Get(Face face, bool bold, char32_t character);
  const std::string& Error() const { return error_; }

  static uint32_t CellWidth(Face face) { return face == Face::kFontA ? 12 : face == Face::kFontB ? 9 : 24; }
  static uint32_t CellHeight(Face face) { return face == Face::kFontA ? 24 : face == Face::kFontB ? 17 : 24; }

 private:
  struct Fonts;
  std::unique_ptr<Fonts> fonts_;
  std::map<std::tuple<int, bool, char32_t>, Glyph> cache_;
  std::string error_;
};

}  // namespace receipt_render

#endif  // LORVEX_CORE_RECEIPT_GLYPHS_H
