// Benchmarks of the transforms on the receipt band (8-bit, 576 x 2400).
#include <benchmark/benchmark.h>

#include <vector>

#include "receipt_band.h"

namespace {

template <typename Op>
void RunTransform(benchmark::State& state, Op op) {
  LxImage gray = ReceiptGrayImage();
  LxImage dst;
  for (auto _ : state) {
    op(gray, dst);
    benchmark::DoNotOptimize(dst.GetBits(0));
  }
  SetPixelsProcessed(state);
}

void BM_RotateLeft8(benchmark::State& state) {
  RunTransform(state, [](LxImage& src, LxImage& dst) { src.RotateLeft(&dst); });
}
BENCHMARK(BM_RotateLeft8);

void BM_RotateRight8(benchmark::State& state) {
  RunTransform(state, [](LxImage& src, LxImage& dst) { src.RotateRight(&dst); });
}
BENCHMARK(BM_RotateRight8);

void BM_Rotate180_8(benchmark::State& state) {
  RunTransform(state, [](LxImage& src, LxImage& dst) { src.Rotate180(&dst); });
}
BENCHMARK(BM_Rotate180_8);

void BM_Flip8(benchmark::State& state) {
  RunTransform(state, [](LxImage& src, LxImage&) { src.Flip(); });
}
BENCHMARK(BM_Flip8);

void BM_Crop8(benchmark::State& state) {
  RunTransform(state, [](LxImage& src, LxImage& dst) { src.Crop(0, 0, 576, 2400, &dst); });
}
BENCHMARK(BM_Crop8);

}  // namespace
