// Benchmarks of the whole band pipeline on a 576 x 128 receipt band: every
// halftone option, with and without an offset and save paper, beside a
// memcpy of the band measured in the same run.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "band_pipeline.h"
#include "receipt_band.h"

namespace {

constexpr DWORD kRows = 128;

struct NullSink : SpoolSink {
  size_t bytes = 0;
  void Write(const BYTE*, DWORD size) override { bytes += size; }
};

// A band from the middle of the receipt: text, gradient and photo rows.
std::vector<BYTE> Band() {
  const std::vector<BYTE> page = MakeReceiptBand(kBandWidth, kBandHeight);
  std::vector<BYTE> band(size_t{kBandWidth} * kRows);
  for (DWORD r = 0; r < kRows; ++r) {
    const DWORD from = (r * (kBandHeight / kRows)) % kBandHeight;
    std::memcpy(&band[size_t{r} * kBandWidth], &page[size_t{from} * kBandWidth], kBandWidth);
  }
  return band;
}

void BM_BandMemcpy(benchmark::State& state) {
  const std::vector<BYTE> band = Band();
  std::vector<BYTE> out(band.size());
  for (auto _ : state) {
    std::memcpy(out.data(), band.data(), band.size());
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  SetPixelsProcessed(state, kBandWidth, kRows);
}
BENCHMARK(BM_BandMemcpy);

// Arguments: halftone index, offset (0 or P12), save paper (0 or top and bottom).
void BM_Band(benchmark::State& state) {
  const std::vector<BYTE> band = Band();
  BandJob job{};
  job.halftone = HalftoneOptionName(static_cast<int>(state.range(0)));
  job.settings.offsetNumber = state.range(1) ? 12 : 0;
  job.settings.savePaper = state.range(2) ? kSaveTopAndBottom : kSaveNone;
  job.copies = 1;
  const BandInput input{band.data(), kBandWidth, kRows, kBandWidth};
  NullSink sink;
  for (auto _ : state) {
    benchmark::DoNotOptimize(RenderBand(input, job, sink));
  }
  state.SetLabel(job.halftone);
  SetPixelsProcessed(state, kBandWidth, kRows);
}
BENCHMARK(BM_Band)->ArgsProduct({benchmark::CreateDenseRange(0, kHalftoneOptions - 1, 1), {0, 1}, {0, 1}});

}  // namespace
