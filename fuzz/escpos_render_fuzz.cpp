// Feeds the renderer any bytes a point-of-sale program may send: a document
// the grammar refuses gets its message and no paper; any other is drawn on
// paper of the line's width, every row handed over once, as long as the
// renderer says.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "escpos_render.h"

namespace {

class Count : public receipt_render::PaperSink {
 public:
  uint32_t width = 0;
  uint64_t rows = 0, cuts = 0, drawers = 0;
  void Row(const uint8_t* dots, uint32_t w) override {
    if (width != 0 && w != width) std::abort();
    width = w;
    for (uint32_t x = 0; x < w; ++x)
      if (dots[x] > 1) std::abort();
    ++rows;
  }
  void Cut(uint64_t) override { ++cuts; }
  void Drawer(uint64_t) override { ++drawers; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static receipt_render::GlyphSource glyphs;
  if (size == 0) return 0;
  receipt_render::RenderOptions options;
  options.lineDots = data[0] & 1 ? 384 : 576;
  options.rasterAdvances = data[0] & 2;
  if (data[0] & 4) options.twoByte = receipt_render::RenderOptions::TwoByte::kBig5;
  Count sink;
  const receipt_render::RenderResult result = receipt_render::RenderDocument(data + 1, size - 1, options, sink, glyphs);
  if (!result.ok) {
    if (result.error.empty() || sink.rows != 0 || sink.cuts != 0) std::abort();
    return 0;
  }
  if (sink.rows != result.rows || sink.cuts != result.cuts || sink.drawers != result.drawers) std::abort();
  if (sink.rows > 0 && sink.width != options.lineDots) std::abort();
  return 0;
}
