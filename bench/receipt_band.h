// receipt_band.h: a receipt-like 8-bit gray band for benchmarks: text-like
// strokes at the top, a gradient in the middle, a noisy photo-like area below.
#ifndef LORVEX_BENCH_RECEIPT_BAND_H
#define LORVEX_BENCH_RECEIPT_BAND_H

#include <cstdint>
#include <vector>

#include <benchmark/benchmark.h>

#include "lximage.h"

// The band every benchmark works on: 576 dots, the 80 mm line, by 2400 rows.
constexpr DWORD kBandWidth = 576;
constexpr DWORD kBandHeight = 2400;

// Reports the rate in millions of band pixels a second.
inline void SetPixelsProcessed(benchmark::State& state, DWORD width = kBandWidth,
                               DWORD height = kBandHeight) {
  state.counters["MPix/s"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * width * height / 1e6, benchmark::Counter::kIsRate);
}

inline std::vector<BYTE> MakeReceiptBand(DWORD width, DWORD height) {
  std::vector<BYTE> band(static_cast<size_t>(width) * height, 255);
  uint32_t noise = 12345;
  for (DWORD y = 0; y < height; ++y) {
    for (DWORD x = 0; x < width; ++x) {
      BYTE v = 255;
      if (y < height / 3) {
        // Glyph-like strokes: short dark runs on text lines.
        const bool line = (y % 32) < 20;
        const bool stroke = ((x * 7 + y * 3) % 23) < 4 || (x % 11) == 0;
        v = (line && stroke) ? 0 : 255;
      } else if (y < 2 * height / 3) {
        v = static_cast<BYTE>(x * 255 / (width - 1));
      } else {
        noise = noise * 1664525u + 1013904223u;
        const int base = static_cast<int>((x + y) % 256);
        const int jitter = static_cast<int>((noise >> 24) % 64) - 32;
        const int p = base + jitter;
        v = static_cast<BYTE>(p < 0 ? 0 : (p > 255 ? 255 : p));
      }
      band[static_cast<size_t>(y) * width + x] = v;
    }
  }
  return band;
}

#endif  // LORVEX_BENCH_RECEIPT_BAND_H
