// escpos_render.h: what an 80 mm (or 58 mm) receipt printer at 203 dpi prints
// for an ESC/POS document: text in its fonts, sizes and modes, in the code
// pages point-of-sale programs pick and in two-byte Chinese, barcodes and
// two-dimensional symbols, images of every raster and bit-image command,
// cuts and drawer pulses, on paper as long as the document moves it.
//
// The document is framed by the grammar first; one it refuses is not drawn.
// Rows go to the sink top first as soon as the paper has moved past them, so
// the renderer holds a few hundred rows of the paper's width whatever the
// receipt's length.
#ifndef LORVEX_CORE_ESCPOS_RENDER_H
#define LORVEX_CORE_ESCPOS_RENDER_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "escpos_stream.h"
#include "receipt_glyphs.h"

namespace receipt_render {

struct RenderOptions {
  uint32_t lineDots = 576;  // the printable line: 576 at 80 mm, 384 at 58 mm
  // GS v 0 moves the paper by the image's rows (printers whose raster
  // command advances, as point-of-sale encoders expect); otherwise the
  // image prints where the paper stands and feeds after it move on.
  bool rasterAdvances = false;
  // The two-byte code of FS & text: GB18030 (mainland models) or Big5.
  enum class TwoByte { kGb18030, kBig5 } twoByte = TwoByte::kGb18030;
};

// Where the paper goes.
class PaperSink {
 public:
  virtual ~PaperSink() = default;
  // The next paper row, lineDots dots, 1 = burnt.
  virtual void Row(const uint8_t* dots, uint32_t width) = 0;
  // A cut, or a drawer pulse, at paper row `row`.
  virtual void Cut(uint64_t row) = 0;
  virtual void Drawer(uint64_t row) = 0;
};

// Keeps the whole paper, for a picture.
class PaperCollector : public PaperSink {
 public:
  Paper paper;
  void Row(const uint8_t* dots, uint32_t width) override;
  void Cut(uint64_t row) override { paper.cuts.push_back(static_cast<uint32_t>(row)); }
  void Drawer(uint64_t row) override { paper.drawers.push_back(static_cast<uint32_t>(row)); }
};

struct RenderResult {
  bool ok = false;
  std::string error;  // the grammar's refusal, as the printer application words it
  uint64_t rows = 0;  // the paper's length in dot rows
  size_t cuts = 0, drawers = 0, barcodes = 0, images = 0;
};

RenderResult RenderDocument(const uint8_t* data, size_t size, const RenderOptions& options, PaperSink& sink,
                            GlyphSource& glyphs);

}  // namespace receipt_render

#endif  // LORVEX_CORE_ESCPOS_RENDER_H
