// receipt_glyphs.cpp: FreeType's outlines, rendered two-level into the
// printer's character cells.
#include "receipt_glyphs.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstdlib>

namespace receipt_render {

namespace {

const char* FontPath(const char* variable, const char* fallback) {
  const char* path = std::getenv(variable);
  return path != nullptr && *path != 0 ? path : fallback;
}

}  // namespace

struct GlyphSource::Fonts {
  FT_Library library = nullptr;
  FT_Face mono = nullptr, monoBold = nullptr, cjk = nullptr;
  ~Fonts() {
    for (FT_Face face : {mono, monoBold, cjk})
      if (face != nullptr) FT_Done_Face(face);
    if (library != nullptr) FT_Done_FreeType(library);
  }
};

GlyphSource::GlyphSource() : fonts_(std::make_unique<Fonts>()) {
  if (FT_Init_FreeType(&fonts_->library) != 0) {
    error_ = "FreeType could not start";
    return;
  }
  auto open = [&](const char* variable, const char* fallback, FT_Face* face) {
    const char* path = FontPath(variable, fallback);
    if (FT_New_Face(fonts_->library, path, 0, face) != 0) {
      *face = nullptr;
      error_ += std::string(error_.empty() ? "" : "; ") + "font " + path + " cannot be read";
    }
  };
  open("LORVEX_FONT_MONO", "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf", &fonts_->mono);
  open("LORVEX_FONT_MONO_BOLD", "/usr/share/fonts/truetype/dejavu/DejaVuSansMono-Bold.ttf", &fonts_->monoBold);
  open("LORVEX_FONT_CJK", "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc", &fonts_->cjk);
}

GlyphSource::~GlyphSource() = default;

const Glyph& GlyphSource::Get(Face face, bool bold, char32_t character) {
  const auto key = std::make_tuple(static_cast<int>(face), bold, character);
  auto found = cache_.find(key);
  if (found != cache_.end()) return found->second;

  Glyph glyph;
  glyph.width = CellWidth(face);
  glyph.height = CellHeight(face);
  glyph.dots.assign(size_t{glyph.width} * glyph.height, 0);
  // The em and the baseline that fit the face's cell: DejaVu Sans Mono's
  // advance is 0.6 em, so 20 pixels give font A's 12 dots.
  const unsigned em = face == Face::kFontA ? 20 : face == Face::kFontB ? 15 : 22;
  const int baseline = face == Face::kFontA ? 19 : face == Face::kFontB ? 13 : 20;
  FT_Face ft = face == Face::kWide ? fonts_->cjk : (bold && fonts_->monoBold ? fonts_->monoBold : fonts_->mono);
  // A character the monospaced font lacks (a box-drawing one it has, most
  // Chinese it has not) is taken from the other font.
  if (ft != nullptr && FT_Get_Char_Index(ft, character) == 0 && fonts_->cjk != nullptr) ft = fonts_->cjk;
  if (character > 0x20 && ft != nullptr && FT_Set_Pixel_Sizes(ft, 0, em) == 0 &&
      FT_Load_Char(ft, character, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO | FT_LOAD_MONOCHROME) == 0) {
    const FT_GlyphSlot slot = ft->glyph;
    const FT_Bitmap& bitmap = slot->bitmap;
    // Centred in the cell across, on the face's baseline down.
    const int advance = static_cast<int>(slot->advance.x >> 6);
    const int left = (static_cast<int>(glyph.width) - advance) / 2 + slot->bitmap_left;
    const int top = baseline - slot->bitmap_top;
    for (unsigned r = 0; r < bitmap.rows; ++r) {
      for (unsigned c = 0; c < bitmap.width; ++c) {
        const unsigned char* row = bitmap.buffer + static_cast<long>(r) * bitmap.pitch;
        if (!(row[c >> 3] & (0x80 >> (c & 7)))) continue;
        const int x = left + static_cast<int>(c), y = top + static_cast<int>(r);
        if (x < 0 || y < 0 || x >= static_cast<int>(glyph.width) || y >= static_cast<int>(glyph.height)) continue;
        glyph.dots[size_t(y) * glyph.width + size_t(x)] = 1;
        // Bold from the regular outline where no bold font is there.
        if (bold && ft != fonts_->monoBold && x + 1 < static_cast<int>(glyph.width))
          glyph.dots[size_t(y) * glyph.width + size_t(x) + 1] = 1;
      }
    }
  }
  return cache_.emplace(key, std::move(glyph)).first->second;
}

}  // namespace receipt_render
