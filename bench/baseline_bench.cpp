// The baseline every other figure is read against: memcpy of the band's bytes.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "receipt_band.h"

namespace {

void BM_Memcpy(benchmark::State& state) {
  const std::vector<BYTE> band = MakeReceiptBand(kBandWidth, kBandHeight);
  std::vector<BYTE> out(band.size());
  for (auto _ : state) {
    std::memcpy(out.data(), band.data(), band.size());
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  SetPixelsProcessed(state);
}
BENCHMARK(BM_Memcpy);

}  // namespace
