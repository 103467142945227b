// receipt_picture.h: the picture of what an ESC/POS job printed, as a PNG of
// four colours (paper, dots, a cut's dashed red line, a drawer pulse's blue
// mark), two bits a dot. The document is drawn twice, once to learn the
// paper's length and once into the file row by row, so the memory is that
// of the renderer, whatever the receipt's length.
#ifndef LORVEX_CORE_RECEIPT_PICTURE_H
#define LORVEX_CORE_RECEIPT_PICTURE_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "escpos_render.h"

namespace receipt_render {

// Writes the picture to `path` (a temporary file beside it, renamed when
// whole). False with `why` when the document is refused or the file cannot
// be written; nothing is left behind then. `drawn`, when given, gets what
// the renderer said of the document.
bool WritePicture(const uint8_t* data, size_t size, const RenderOptions& options, GlyphSource& glyphs,
                  const std::string& path, std::string* why, RenderResult* drawn = nullptr);

}  // namespace receipt_render

#endif  // LORVEX_CORE_RECEIPT_PICTURE_H
