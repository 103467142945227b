// The ESC/POS grammar's check of a point-of-sale receipt (styled text
// lines, a table, a barcode, a QR code and a raster logo, as encoders
// write them), in bytes a second, beside a copy of the same bytes in the
// same run.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

#include "escpos_grammar.h"

namespace {

std::vector<uint8_t> Receipt() {
  std::string r = "\x1b@\x1c.\x1bt\x02";
  for (int line = 0; line < 48; ++line) {
    r += "\x1b\x45";  // ESC E n: bold every eighth line
    r.push_back(line % 8 == 0 ? '\x01' : '\0');
    r += "\x1d!" + std::string(1, line % 12 == 0 ? '\x11' : '\0');
    r += "Item " + std::to_string(line) + std::string(30, ' ') + std::to_string(line * 3 % 97) + ".50\n";
  }
  r += std::string("\x1dh\x3c\x1dw\x03\x1dH\x02\x1dk\x02") + "4012345678905" + std::string(1, '\0');
  const std::string qr = "https://example.com/receipt/424242";
  r += std::string("\x1d(k\x04\x00" "1A2\x00", 9) + std::string("\x1d(k", 3) +
       static_cast<char>(qr.size() + 3) + std::string("\x00" "1P0", 4) + qr + std::string("\x1d(k\x03\x00" "1Q0", 8);
  r += std::string("\x1dv0\x00\x08\x00\x40\x00", 8) + std::string(8 * 64, '\x5a');
  r += std::string("\x1bp\x00\x19\xfa\x1dVB\x00", 9);
  return std::vector<uint8_t>(r.begin(), r.end());
}

void BM_GrammarCheck(benchmark::State& state) {
  const std::vector<uint8_t> doc = Receipt();
  escpos::GrammarError error;
  for (auto _ : state) benchmark::DoNotOptimize(escpos::CheckDocument(doc.data(), doc.size(), &error));
  if (!escpos::CheckDocument(doc.data(), doc.size(), &error)) state.SkipWithError(error.what.c_str());
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * doc.size()));
}
BENCHMARK(BM_GrammarCheck);

void BM_GrammarPassThrough(benchmark::State& state) {
  const std::vector<uint8_t> doc = Receipt();
  escpos::GrammarError error;
  for (auto _ : state) benchmark::DoNotOptimize(escpos::PassThrough(doc.data(), doc.size(), &error));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * doc.size()));
}
BENCHMARK(BM_GrammarPassThrough);

void BM_ReceiptCopy(benchmark::State& state) {
  const std::vector<uint8_t> doc = Receipt();
  std::vector<uint8_t> out(doc.size());
  for (auto _ : state) {
    std::memcpy(out.data(), doc.data(), doc.size());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * doc.size()));
}
BENCHMARK(BM_ReceiptCopy);

}  // namespace
