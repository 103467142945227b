// receipt_band.h: the band the benchmarks work on, and their rate counter.
#ifndef LORVEX_BENCH_RECEIPT_BAND_H
#define LORVEX_BENCH_RECEIPT_BAND_H

#include <benchmark/benchmark.h>

#include "lximage.h"
#include "test_page.h"

// The band every benchmark works on: 576 dots, the 80 mm line, by 2400 rows.
constexpr DWORD kBandWidth = 576;
constexpr DWORD kBandHeight = 2400;

// Reports the rate in millions of band pixels a second.
inline void SetPixelsProcessed(benchmark::State& state, DWORD width = kBandWidth,
                               DWORD height = kBandHeight) {
  state.counters["MPix/s"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * width * height / 1e6, benchmark::Counter::kIsRate);
}

// The band as an 8-bit gray image, first row on top.
inline LxImage ReceiptGrayImage() {
  std::vector<BYTE> band = MakeReceiptBand(kBandWidth, kBandHeight);
  LxImage gray;
  gray.CreateFromArray(band.data(), kBandWidth, kBandHeight, 8, kBandWidth, true);
  return gray;
}

// Runs `work` on a fresh copy of the gray band each iteration; only the work
// is timed.
template <typename Work>
void RunOnGrayCopies(benchmark::State& state, Work work) {
  const LxImage gray = ReceiptGrayImage();
  for (auto _ : state) {
    state.PauseTiming();
    LxImage img(gray);
    state.ResumeTiming();
    work(img);
    benchmark::DoNotOptimize(img.GetBits(0));
  }
  SetPixelsProcessed(state);
}

#endif  // LORVEX_BENCH_RECEIPT_BAND_H
