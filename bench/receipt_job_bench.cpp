// The printer application's whole job beside the band pipeline alone, in one
// run: a 576 x 2400 receipt page line by line through receipt::PageEncoder
// (collecting, halftoning, records, cut) against the same rows handed to
// RenderBand as ten 240-row bands; and with the application's defaults
// (the paper fitted to the content, a darkness curve). "bytes" is what each
// sends for the page: the pipeline's records hold every white row as
// raster, the application feeds over them.
#include <benchmark/benchmark.h>

#include <vector>

#include "band_pipeline.h"
#include "page_encoder.h"
#include "test_page.h"

namespace {

constexpr unsigned kWidth = 576, kHeight = 2400, kBand = 240;

class Discard : public receipt::ByteSink {
 public:
  bool Write(const uint8_t* data, size_t size) override {
    benchmark::DoNotOptimize(data);
    bytes += size;
    return true;
  }
  size_t bytes = 0;
};

class DiscardSpool : public SpoolSink {
 public:
  void Write(const BYTE* data, DWORD size) override {
    benchmark::DoNotOptimize(data);
    bytes += size;
  }
  size_t bytes = 0;
};

void Rate(benchmark::State& state) {
  state.counters["MPix/s"] = benchmark::Counter(static_cast<double>(state.iterations()) * kWidth * kHeight / 1e6,
                                                benchmark::Counter::kIsRate);
}

void BM_PipelineAlone(benchmark::State& state, const char* halftone) {
  const std::vector<BYTE> page = MakeReceiptBand(kWidth, kHeight);
  BandJob job{};
  job.halftone = halftone;
  job.copies = 1;
  size_t bytes = 0;
  for (auto _ : state) {
    DiscardSpool sink;
    for (unsigned first = 0; first < kHeight; first += kBand)
      RenderBand(BandInput{&page[size_t{first} * kWidth], kWidth, kBand, kWidth}, job, sink);
    bytes = sink.bytes;
  }
  Rate(state);
  state.counters["bytes"] = static_cast<double>(bytes);
}

void BM_WholeJob(benchmark::State& state, const char* halftone, bool rotate, bool fit = false, int darkness = 0) {
  const std::vector<BYTE> page = MakeReceiptBand(kWidth, kHeight);
  receipt::Options o;
  o.halftone = halftone;
  o.rotate180 = rotate;
  o.fitPaperToContent = fit;
  o.darkness = darkness;
  size_t bytes = 0;
  for (auto _ : state) {
    Discard sink;
    receipt::PageEncoder encoder(o, sink);
    encoder.StartPage(kWidth, 0);
    for (unsigned y = 0; y < kHeight; ++y) encoder.WriteLine(&page[size_t{y} * kWidth]);
    encoder.EndPage();
    encoder.EndJob();
    benchmark::DoNotOptimize(sink.bytes);
    bytes = sink.bytes;
  }
  Rate(state);
  state.counters["bytes"] = static_cast<double>(bytes);
}

BENCHMARK_CAPTURE(BM_PipelineAlone, threshold, HalftoneOptionName(kHalftoneThreshold));
BENCHMARK_CAPTURE(BM_WholeJob, threshold, HalftoneOptionName(kHalftoneThreshold), false);
BENCHMARK_CAPTURE(BM_WholeJob, threshold_upside_down, HalftoneOptionName(kHalftoneThreshold), true);
BENCHMARK_CAPTURE(BM_PipelineAlone, floyd_steinberg, HalftoneOptionName(kHalftoneFloydSteinberg));
BENCHMARK_CAPTURE(BM_WholeJob, floyd_steinberg, HalftoneOptionName(kHalftoneFloydSteinberg), false);
BENCHMARK_CAPTURE(BM_WholeJob, floyd_steinberg_upside_down, HalftoneOptionName(kHalftoneFloydSteinberg), true);
// The app's defaults: the paper fitted to the content, halftone auto (Floyd-
// Steinberg), and with a darkness curve.
BENCHMARK_CAPTURE(BM_WholeJob, floyd_steinberg_fit_content, HalftoneOptionName(kHalftoneFloydSteinberg), false, true);
BENCHMARK_CAPTURE(BM_WholeJob, floyd_steinberg_fit_content_darker, HalftoneOptionName(kHalftoneFloydSteinberg), false, true, 40);

}  // namespace
