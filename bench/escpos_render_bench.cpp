// The renderer of point-of-sale receipts: pictures a second for a 48-line
// receipt (styled text, a barcode, a QR code and a logo), beside the
// grammar's check of the same bytes in the same run; and the memory the
// renderer holds for a 100 mm and a 1000 mm receipt, which the paper's width
// bounds, not its length (the peak of live heap bytes while rendering, the
// glyphs already cached: glibc's heap in use, sampled at every paper row).
#include <benchmark/benchmark.h>

#include <malloc.h>

#include <algorithm>
#include <string>
#include <vector>

#include "escpos_grammar.h"
#include "escpos_render.h"

namespace {

std::string Lines(int count) {
  std::string r;
  for (int line = 0; line < count; ++line) {
    r += "\x1b\x45";
    r.push_back(line % 8 == 0 ? '\x01' : '\0');
    r += "\x1d!" + std::string(1, line % 12 == 0 ? '\x11' : '\0');
    r += "Item " + std::to_string(line) + std::string(24, ' ') + std::to_string(line * 3 % 97) + ".50\n";
  }
  return r;
}

std::vector<uint8_t> Receipt() {
  std::string r = "\x1b@\x1bt\x02" + Lines(48);
  r += std::string("\x1dh\x3c\x1dw\x03\x1dH\x02\x1dk\x02") + "401234567890" + std::string(1, '\0');
  const std::string qr = "https://example.com/receipt/424242";
  r += std::string("\x1d(k\x04\x00" "1A2\x00", 9) + std::string("\x1d(k", 3) + static_cast<char>(qr.size() + 3) +
       std::string("\x00" "1P0", 4) + qr + std::string("\x1d(k\x03\x00" "1Q0", 8);
  r += std::string("\x1dv0\x00\x08\x00\x40\x00", 8) + std::string(8 * 64, '\x5a');
  r += std::string("\x1bp\x00\x19\xfa\x1dVB\x00", 9);
  return std::vector<uint8_t>(r.begin(), r.end());
}

class Discard : public receipt_render::PaperSink {
 public:
  uint64_t rows = 0;
  bool sample = false;
  size_t peak = 0;
  void Row(const uint8_t*, uint32_t) override {
    ++rows;
    if (sample) peak = std::max(peak, mallinfo2().uordblks);
  }
  void Cut(uint64_t) override {}
  void Drawer(uint64_t) override {}
};

receipt_render::GlyphSource& Glyphs() {
  static receipt_render::GlyphSource glyphs;
  return glyphs;
}

void BM_RenderReceipt(benchmark::State& state) {
  const std::vector<uint8_t> doc = Receipt();
  for (auto _ : state) {
    Discard sink;
    const auto result = receipt_render::RenderDocument(doc.data(), doc.size(), {}, sink, Glyphs());
    if (!result.ok) state.SkipWithError(result.error.c_str());
    benchmark::DoNotOptimize(sink.rows);
  }
  state.SetItemsProcessed(state.iterations());  // pictures
}
BENCHMARK(BM_RenderReceipt)->Unit(benchmark::kMillisecond);

// The baseline in the same run: the grammar's walk over the same bytes.
void BM_CheckReceipt(benchmark::State& state) {
  const std::vector<uint8_t> doc = Receipt();
  escpos::GrammarError error;
  for (auto _ : state) benchmark::DoNotOptimize(escpos::CheckDocument(doc.data(), doc.size(), &error));
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CheckReceipt)->Unit(benchmark::kMillisecond);

// A receipt of `mm` millimetres of text lines (30 dots a line).
void BM_RenderMemory(benchmark::State& state) {
  const int lines = static_cast<int>(state.range(0) * 203 / 25.4 / 30);
  const std::string text = "\x1b@" + Lines(lines);
  const std::vector<uint8_t> doc(text.begin(), text.end());
  Discard warm;
  receipt_render::RenderDocument(doc.data(), doc.size(), {}, warm, Glyphs());  // glyphs cached
  double peak = 0;
  uint64_t rows = 0;
  for (auto _ : state) {
    const size_t before = mallinfo2().uordblks;
    Discard sink;
    sink.sample = true;
    receipt_render::RenderDocument(doc.data(), doc.size(), {}, sink, Glyphs());
    peak = static_cast<double>(sink.peak > before ? sink.peak - before : 0);
    rows = sink.rows;
  }
  state.counters["peak_kB"] = peak / 1024.0;
  state.counters["paper_rows"] = static_cast<double>(rows);
}
BENCHMARK(BM_RenderMemory)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

}  // namespace
