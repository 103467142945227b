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

#endif  // LORVEX_BENCH_RECEIPT_BAND_H
