// Benchmarks of Dither on the receipt band, beside the loops it must beat:
//  - the plain reference (checked neighbour reads and writes, as defined);
//  - a plain unchecked loop of Floyd-Steinberg's arithmetic;
//  - a generic loop over a kernel's table of taps.
#include <benchmark/benchmark.h>

#include <vector>

#include "../tests/reference_ops.h"
#include "receipt_band.h"

namespace {

void BM_Dither(benchmark::State& state) {
  const long method = state.range(0);
  RunOnGrayCopies(state, [method](LxImage& img) { img.Dither(method); });
}
BENCHMARK(BM_Dither)->DenseRange(0, 7)->Unit(benchmark::kMillisecond);

void BM_DitherReference(benchmark::State& state) {
  const long method = state.range(0);
  RunOnGrayCopies(state, [method](LxImage& img) {
    benchmark::DoNotOptimize(ReferenceDither(img, method).data());
  });
}
BENCHMARK(BM_DitherReference)->Arg(0)->Arg(3)->Unit(benchmark::kMillisecond);

inline int Clamp(int v) { return v < 0 ? 0 : (v > 255 ? 255 : v); }

// Floyd-Steinberg as a plain C loop: bounds tested inline, a division per
// share, results packed into bits.
void PlainFloydSteinberg(LxImage& img, std::vector<BYTE>& out) {
  const long w = static_cast<long>(img.GetWidth()), h = static_cast<long>(img.GetHeight());
  BYTE* p = img.GetBits(0);
  const long stride = static_cast<long>(img.GetEffWidth());
  for (long y = 0; y < h; ++y) {
    BYTE* row = p + y * stride;
    BYTE* next = y + 1 < h ? row + stride : nullptr;
    BYTE* bits = out.data() + y * ((w + 7) / 8);
    for (long x = 0; x < w; ++x) {
      const int v = row[x];
      const int e = v > 128 ? v - 255 : v;
      if (v > 128) bits[x >> 3] = static_cast<BYTE>(bits[x >> 3] | (0x80 >> (x & 7)));
      if (x + 1 < w) row[x + 1] = static_cast<BYTE>(Clamp(row[x + 1] + e * 7 / 16));
      if (next) {
        if (x > 0) next[x - 1] = static_cast<BYTE>(Clamp(next[x - 1] + e * 3 / 16));
        next[x] = static_cast<BYTE>(Clamp(next[x] + e * 5 / 16));
        if (x + 1 < w) next[x + 1] = static_cast<BYTE>(Clamp(next[x + 1] + e * 1 / 16));
      }
    }
  }
}

// A generic error diffusion: one loop over the kernel's taps per pixel.
void GenericKernel(LxImage& img, const RefKernel& k, std::vector<BYTE>& out) {
  const long w = static_cast<long>(img.GetWidth()), h = static_cast<long>(img.GetHeight());
  BYTE* p = img.GetBits(0);
  const long stride = static_cast<long>(img.GetEffWidth());
  for (long y = 0; y < h; ++y) {
    BYTE* bits = out.data() + y * ((w + 7) / 8);
    for (long x = 0; x < w; ++x) {
      const int v = p[y * stride + x];
      const int e = v > 128 ? v - 255 : v;
      if (v > 128) bits[x >> 3] = static_cast<BYTE>(bits[x >> 3] | (0x80 >> (x & 7)));
      for (const RefTap& t : k.taps) {
        const long tx = x + t.dx, ty = y + t.dy;
        if (tx < 0 || tx >= w || ty >= h) continue;
        BYTE& q = p[ty * stride + tx];
        q = static_cast<BYTE>(Clamp(q + e * t.weight / k.divisor));
      }
    }
  }
}

void BM_PlainFloydSteinberg(benchmark::State& state) {
  std::vector<BYTE> out(size_t{(kBandWidth + 7) / 8} * kBandHeight);
  RunOnGrayCopies(state, [&out](LxImage& img) {
    PlainFloydSteinberg(img, out);
    benchmark::DoNotOptimize(out.data());
  });
}
BENCHMARK(BM_PlainFloydSteinberg)->Unit(benchmark::kMillisecond);

void BM_GenericKernel(benchmark::State& state) {
  const RefKernel k = ReferenceKernel(state.range(0));
  std::vector<BYTE> out(size_t{(kBandWidth + 7) / 8} * kBandHeight);
  RunOnGrayCopies(state, [&](LxImage& img) {
    GenericKernel(img, k, out);
    benchmark::DoNotOptimize(out.data());
  });
}
BENCHMARK(BM_GenericKernel)->DenseRange(2, 6)->Unit(benchmark::kMillisecond);

}  // namespace
