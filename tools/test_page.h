// test_page.h: a receipt-like 8-bit gray page made by rule, the same on
// every build: text-like strokes at the top, a gradient in the middle, a
// noisy photo-like area below. Benchmarks and the plug-in host use it.
#ifndef LORVEX_TOOLS_TEST_PAGE_H
#define LORVEX_TOOLS_TEST_PAGE_H

#include <cstdint>
#include <vector>

#include "lxtypes.h"

// width x height gray levels, 255 white, top row first.
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

#endif  // LORVEX_TOOLS_TEST_PAGE_H
