// reference_ops.h: plain reference models of the halftoning and the pixel
// mappings, written straight from their definitions with checked pixel
// calls, to prove the fast implementations give the same result.
#ifndef LORVEX_TESTS_REFERENCE_OPS_H
#define LORVEX_TESTS_REFERENCE_OPS_H

#include <vector>

#include "lximage.h"

struct RefTap {
  int dx, dy, weight;
};

struct RefKernel {
  std::vector<RefTap> taps;
  int divisor;
};

inline RefKernel ReferenceKernel(long method) {
  switch (method) {
    case 2:
      return {{{1, 0, 8}, {2, 0, 4}, {-2, 1, 2}, {-1, 1, 4}, {0, 1, 8}, {1, 1, 4}, {2, 1, 2}}, 32};
    case 3:
      return {{{1, 0, 8}, {2, 0, 4}, {-2, 1, 2}, {-1, 1, 4}, {0, 1, 8}, {1, 1, 4}, {2, 1, 2},
               {-2, 2, 1}, {-1, 2, 2}, {0, 2, 4}, {1, 2, 2}, {2, 2, 1}},
              42};
    case 4:
      return {{{1, 0, 7}, {2, 0, 5}, {-2, 1, 3}, {-1, 1, 5}, {0, 1, 7}, {1, 1, 5}, {2, 1, 3},
               {-2, 2, 1}, {-1, 2, 3}, {0, 2, 5}, {1, 2, 3}, {2, 2, 1}},
              48};
    case 5:
      return {{{1, 0, 5}, {2, 0, 3}, {-2, 1, 2}, {-1, 1, 4}, {0, 1, 5}, {1, 1, 4}, {2, 1, 2},
               {-1, 2, 2}, {0, 2, 3}, {1, 2, 2}},
              32};
    case 6:
      return {{{2, 0, 32}, {-3, 1, 12}, {-1, 1, 26}, {1, 1, 30}, {3, 1, 16}, {-2, 2, 12},
               {0, 2, 26}, {2, 2, 12}, {-3, 3, 5}, {-1, 3, 12}, {1, 3, 12}, {3, 3, 5}},
              200};
    default:
      return {{{1, 0, 7}, {-1, 1, 3}, {0, 1, 5}, {1, 1, 1}}, 16};
  }
}

// Halftones an 8-bit gray image (identity palette) in place of nothing: the
// gray image is the error carrier and is changed; the answer is one 0/1 value
// per pixel, row 0 first.
inline std::vector<BYTE> ReferenceDither(LxImage& gray, long method) {
  static const int kM[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
  static const int kT[4][4] = {
      {0, 192, 48, 240}, {128, 64, 176, 112}, {32, 224, 16, 208}, {160, 96, 144, 80}};
  const long w = static_cast<long>(gray.GetWidth());
  const long h = static_cast<long>(gray.GetHeight());
  std::vector<BYTE> out;
  const RefKernel k = ReferenceKernel(method);
  for (long y = 0; y < h; ++y) {
    for (long x = 0; x < w; ++x) {
      const int p = gray.GetPixelIndex(x, y);
      if (method == 1) {
        const int d = 16 * p / 255;
        const int level = d / 16 + (kM[y % 4][x % 4] < d % 16 ? 1 : 0);
        out.push_back(static_cast<BYTE>(level));
      } else if (method == 7) {
        out.push_back(p > kT[y % 4][x % 4] ? 1 : 0);
      } else {
        const int e = p > 128 ? p - 255 : p;
        out.push_back(p > 128 ? 1 : 0);
        for (const RefTap& t : k.taps) {
          int v = gray.GetPixelIndex(x + t.dx, y + t.dy);
          v += e * t.weight / k.divisor;
          v = v < 0 ? 0 : (v > 255 ? 255 : v);
          gray.SetPixelIndex(x + t.dx, y + t.dy, static_cast<BYTE>(v));
        }
      }
    }
  }
  return out;
}

// The value of every pixel of an image (index, or packed colour for 24 bits),
// row 0 first.
inline uint32_t RefPixel(LxImage& img, long x, long y) {
  if (img.GetBpp() == 24) return LxImage::RGBQUADtoRGB(img.GetPixelColor(x, y, false));
  return img.GetPixelIndex(x, y);
}

enum class RefTurn { Flip, Mirror, Half, Left, Right };

// The pixels a transform must give: target (x, y) takes the source pixel its
// mapping names.
inline std::vector<uint32_t> ReferenceTurn(LxImage& src, RefTurn turn) {
  const long W = static_cast<long>(src.GetWidth());
  const long H = static_cast<long>(src.GetHeight());
  const bool quarter = turn == RefTurn::Left || turn == RefTurn::Right;
  const long tw = quarter ? H : W;
  const long th = quarter ? W : H;
  std::vector<uint32_t> out;
  for (long y = 0; y < th; ++y) {
    for (long x = 0; x < tw; ++x) {
      switch (turn) {
        case RefTurn::Flip: out.push_back(RefPixel(src, x, H - 1 - y)); break;
        case RefTurn::Mirror: out.push_back(RefPixel(src, W - 1 - x, y)); break;
        case RefTurn::Half: out.push_back(RefPixel(src, W - 1 - x, H - 1 - y)); break;
        case RefTurn::Left: out.push_back(RefPixel(src, y, H - 1 - x)); break;
        case RefTurn::Right: out.push_back(RefPixel(src, W - 1 - y, x)); break;
      }
    }
  }
  return out;
}

#endif  // LORVEX_TESTS_REFERENCE_OPS_H
