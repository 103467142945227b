// Benchmarks of the image operations on a receipt-like band, each beside a
// memcpy of the same bytes measured in the same run.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "receipt_band.h"

namespace {

constexpr DWORD kWidth = 576;
constexpr DWORD kHeight = 2400;

void SetPixelsProcessed(benchmark::State& state) {
  state.counters["MPix/s"] = benchmark::Counter(static_cast<double>(state.iterations()) * kWidth * kHeight / 1e6,
                                                benchmark::Counter::kIsRate);
}

void BM_Memcpy(benchmark::State& state) {
  const std::vector<BYTE> band = MakeReceiptBand(kWidth, kHeight);
  std::vector<BYTE> out(band.size());
  for (auto _ : state) {
    std::memcpy(out.data(), band.data(), band.size());
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  SetPixelsProcessed(state);
}
BENCHMARK(BM_Memcpy);

void BM_Threshold(benchmark::State& state) {
  std::vector<BYTE> band = MakeReceiptBand(kWidth, kHeight);
  for (auto _ : state) {
    LxImage img;
    img.CreateFromArray(band.data(), kWidth, kHeight, 8, kWidth, true);
    img.Threshold(180);
    benchmark::DoNotOptimize(img.GetBits(0));
  }
  SetPixelsProcessed(state);
}
BENCHMARK(BM_Threshold);

void BM_GrayScale24(benchmark::State& state) {
  std::vector<BYTE> band = MakeReceiptBand(kWidth, kHeight);
  LxImage colour(kWidth, kHeight, 24, 0);
  for (DWORD y = 0; y < kHeight; ++y) {
    BYTE* row = colour.GetBits(y);
    for (DWORD x = 0; x < kWidth; ++x) row[3 * x] = row[3 * x + 1] = row[3 * x + 2] = band[y * kWidth + x];
  }
  for (auto _ : state) {
    LxImage img(colour);
    img.GrayScale();
    benchmark::DoNotOptimize(img.GetBits(0));
  }
  SetPixelsProcessed(state);
}
BENCHMARK(BM_GrayScale24);

}  // namespace
