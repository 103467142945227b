// Benchmarks of gray conversion and threshold on the receipt band.
#include <benchmark/benchmark.h>

#include <vector>

#include "receipt_band.h"

namespace {

void BM_Threshold(benchmark::State& state) {
  RunOnGrayCopies(state, [](LxImage& img) { img.Threshold(180); });
}
BENCHMARK(BM_Threshold);

void BM_GrayScale24(benchmark::State& state) {
  std::vector<BYTE> band = MakeReceiptBand(kBandWidth, kBandHeight);
  LxImage colour(kBandWidth, kBandHeight, 24, 0);
  for (DWORD y = 0; y < kBandHeight; ++y) {
    BYTE* row = colour.GetBits(y);
    for (DWORD x = 0; x < kBandWidth; ++x) row[3 * x] = row[3 * x + 1] = row[3 * x + 2] = band[y * kBandWidth + x];
  }
  for (auto _ : state) {
    state.PauseTiming();
    LxImage img(colour);
    state.ResumeTiming();
    img.GrayScale();
    benchmark::DoNotOptimize(img.GetBits(0));
  }
  SetPixelsProcessed(state);
}
BENCHMARK(BM_GrayScale24);

}  // namespace
