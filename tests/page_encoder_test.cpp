// The printer application's job core: pages of lines to the pipeline's
// records. The reference for every band is the pipeline itself (RenderBand),
// fed the band a Windows host would hand it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "byte_collector.h"
#include "escpos_stream.h"
#include "document_limits.h"
#include "receipt_options.h"
#include "page_encoder.h"
#include "receipt_test_page.h"

namespace {

using Collect = ByteCollector;

class SpoolCollect : public SpoolSink {
 public:
  void Write(const BYTE* data, DWORD size) override { bytes.insert(bytes.end(), data, data + size); }
  std::vector<uint8_t> bytes;
};

// A gray page: a diagonal, a block and a gradient, so that every band differs.
std::vector<uint8_t> Page(unsigned width, unsigned height) {
  std::vector<uint8_t> p(size_t{width} * height, 255);
  for (unsigned y = 0; y < height; ++y)
    for (unsigned x = 0; x < width; ++x) {
      uint8_t& v = p[size_t{y} * width + x];
      if (x == (y * 3) % width) v = 0;
      if (x > 100 && x < 200 && y % 97 < 30) v = 40;
      if (y > height / 2) v = static_cast<uint8_t>(std::min<unsigned>(255, v * x / width + 20));
    }
  return p;
}

std::vector<uint8_t> Print(const receipt::Options& o, const std::vector<uint8_t>& page, unsigned width,
                           unsigned left, unsigned pages = 1) {
  Collect sink;
  receipt::PageEncoder encoder(o, sink);
  const unsigned height = static_cast<unsigned>(page.size() / width);
  for (unsigned n = 0; n < pages; ++n) {
    EXPECT_TRUE(encoder.StartPage(width, left));
    for (unsigned y = 0; y < height; ++y) EXPECT_TRUE(encoder.WriteLine(&page[size_t{y} * width]));
    EXPECT_TRUE(encoder.EndPage());
  }
  EXPECT_TRUE(encoder.EndJob()) << encoder.Error();
  return sink.bytes;
}

// One band through the carried preparation and the emitter.
std::vector<uint8_t> CarriedBand(const BandInput& band, const BandJob& job, DiffusionCarry& carry) {
  LxImage work(0);
  EXPECT_EQ(PrepareBandCarrying(band, job, work, carry), BandOutcome::kSent);
  SpoolCollect out;
  EXPECT_EQ(EmitBand(work, job, out), BandOutcome::kSent);
  return out.bytes;
}

// The pipeline's bytes for rows [first, first + count) of a page window,
// the error diffusion carried on from the band above through `carry`.
std::vector<uint8_t> Reference(const std::vector<uint8_t>& page, unsigned width, unsigned left, unsigned first,
                               unsigned count, const receipt::Options& o, DiffusionCarry& carry,
                               bool halfTurn = false) {
  const unsigned w = std::min<unsigned>(kLineDots, width - left);
  std::vector<uint8_t> band(size_t{w} * count);
  for (unsigned y = 0; y < count; ++y) std::memcpy(&band[size_t{y} * w], &page[size_t{first + y} * width + left], w);
  BandJob job{};
  job.settings.offsetNumber = o.offsetNumber;
  job.settings.halfTurn = halfTurn;
  job.settings.savePaper = o.savePaper;
  job.halftone = o.halftone.c_str();
  job.copies = 1;
  return CarriedBand(BandInput{band.data(), w, count, w}, job, carry);
}

void Append(std::vector<uint8_t>& to, const std::vector<uint8_t>& more) { to.insert(to.end(), more.begin(), more.end()); }
const std::vector<uint8_t> kCut = {0x1D, 0x56, 0x42, 0x00};

// The paper a job's bytes make, as the preview draws it.
Paper PaperOf(const std::vector<uint8_t>& bytes) {
  StreamModel model;
  model.jobCommands = true;
  const DecodedStream d = DecodeStream(bytes.data(), bytes.size(), model);
  EXPECT_TRUE(d.ok) << d.error << " at " << d.errorOffset;
  return LayOut(d);
}

// The runs of rows with ink, top first: {first row, rows}.
std::vector<std::pair<unsigned, unsigned>> InkRuns(const Paper& paper) {
  std::vector<std::pair<unsigned, unsigned>> runs;
  for (unsigned y = 0; y < paper.height; ++y) {
    const auto row = paper.dots.begin() + static_cast<long>(y) * paper.width;
    if (std::none_of(row, row + paper.width, [](uint8_t d) { return d != 0; })) continue;
    if (!runs.empty() && runs.back().first + runs.back().second == y)
      ++runs.back().second;
    else
      runs.push_back({y, 1});
  }
  return runs;
}

// Raster rows a job sends.
unsigned RasterRows(const std::vector<uint8_t>& bytes, const StreamModel& model) {
  const DecodedStream d = DecodeStream(bytes.data(), bytes.size(), model);
  unsigned rows = 0;
  for (const StreamItem& i : d.items)
    if (i.kind == StreamItem::kRaster) rows += i.rows;
  return rows;
}

// The job's bytes make the pipeline's paper, dot for dot and as long, cut
// in the same places, and every raster row they send burns a dot.
void ExpectPipelinePaperInkedRowsOnly(const std::vector<uint8_t>& got, const std::vector<uint8_t>& pipeline,
                                      const StreamModel& model = StreamModel{false, true}) {
  const DecodedStream dg = DecodeStream(got.data(), got.size(), model);
  const DecodedStream dw = DecodeStream(pipeline.data(), pipeline.size(), model);
  ASSERT_TRUE(dg.ok) << dg.error << " at " << dg.errorOffset;
  ASSERT_TRUE(dw.ok) << dw.error << " at " << dw.errorOffset;
  const Paper g = LayOut(dg, model), w = LayOut(dw, model);
  EXPECT_EQ(g.height, w.height);
  EXPECT_EQ(g.cuts, w.cuts);
  unsigned inked = 0;
  for (const auto& run : InkRuns(g)) inked += run.second;
  if (inked > 0 || !InkRuns(w).empty()) {
    EXPECT_EQ(g.width, w.width);
    EXPECT_TRUE(g.dots == w.dots) << "the paper differs";
  }
  EXPECT_EQ(RasterRows(got, model), inked);
}

struct PageCase {
  const char* halftone;
  unsigned width, left, height;
  int32_t offset;
  int savePaper;
};

class ReceiptBands : public ::testing::TestWithParam<PageCase> {};

TEST_P(ReceiptBands, EachBandPrintsThePipelinesPaper) {
  const PageCase& c = GetParam();
  receipt::Options o;
  o.halftone = c.halftone;
  o.offsetNumber = c.offset;
  o.savePaper = c.savePaper;
  const std::vector<uint8_t> page = Page(c.width, c.height);
  std::vector<uint8_t> want;
  DiffusionCarry carry;
  for (unsigned first = 0; first < c.height; first += o.bandHeight)
    Append(want, Reference(page, c.width, c.left, first, std::min(o.bandHeight, c.height - first), o, carry));
  Append(want, kCut);
  ExpectPipelinePaperInkedRowsOnly(Print(o, page, c.width, c.left), want);
}

INSTANTIATE_TEST_SUITE_P(
    Pages, ReceiptBands,
    ::testing::Values(PageCase{"HT_NONE", 576, 0, 50, 0, 0},           // one short band
                      PageCase{"HT_FloydSteinberg", 639, 32, 500, 0, 0},  // PAPPL's 80 mm line
                      PageCase{"HT_Stucki", 640, 32, 481, 12, 0},       // offset, last band of 1 row
                      PageCase{"HT_Ordered", 400, 0, 240, -40, 0},      // narrow line, moved left
                      PageCase{"HT_Sierra", 700, 100, 300, 0, 3},       // save paper per band
                      PageCase{"HT_Jarvis-Judice-Ninke", 639, 600, 30, 0, 0}));  // 39 dots left

TEST(SeamlessBands, ABarAcrossABandBoundaryUnderSavePaperIsOneBar) {
  // A 21-row bar from row 230 to 250 crosses the boundary of 240-row bands;
  // save-paper trims each band to 5 white rows around it, so each band ends
  // or starts with a short slice.
  std::vector<uint8_t> page(size_t{576} * 480, 255);
  for (unsigned y = 230; y <= 250; ++y) std::fill_n(&page[size_t{y} * 576], 576, 0);
  receipt::Options o;
  o.savePaper = kSaveTopAndBottom;
  o.cut = receipt::Cut::kNone;
  const auto runs = InkRuns(PaperOf(Print(o, page, 576, 0)));
  ASSERT_EQ(runs.size(), 1u) << "the bar came out in " << runs.size() << " parts";
  EXPECT_EQ(runs[0].second, 21u);
}

TEST(SeamlessBands, BandHeightsGiveTheSamePaper) {
  const std::vector<uint8_t> page = Page(576, 790);
  receipt::Options o;
  o.halftone = "HT_NONE";  // error diffusion starts afresh in every band
  o.bandHeight = 240;
  const Paper want = PaperOf(Print(o, page, 576, 0));
  EXPECT_EQ(want.height, 790u);
  for (unsigned height : {50u, 100u, 24u, 31u}) {
    o.bandHeight = height;
    const Paper got = PaperOf(Print(o, page, 576, 0));
    EXPECT_EQ(got.height, want.height) << "bands of " << height;
    EXPECT_TRUE(got.dots == want.dots) << "bands of " << height;
  }
}

// Flat gray pages: the rows on either side of each band boundary burn as
// many dots as rows inside a band, for every error-diffusion kernel, the page
// upright or turned. (A walk started afresh needs rows to build up its error:
// light grays come out white there.)
TEST(SeamlessBands, ErrorDiffusionRunsOnAcrossBandBoundaries) {
  for (uint8_t gray : {128, 200, 235}) {
    const std::vector<uint8_t> page(size_t{576} * 960, gray);
    for (const char* halftone : {"HT_FloydSteinberg", "HT_Burkes", "HT_Stucki", "HT_Jarvis-Judice-Ninke",
                                 "HT_Sierra", "HT_Stevenson-Arce"}) {
      for (bool turned : {false, true}) {
        receipt::Options o;
        o.halftone = halftone;
        o.rotate180 = turned;
        o.cut = receipt::Cut::kNone;
        const Paper paper = PaperOf(Print(o, page, 576, 0));
        ASSERT_EQ(paper.height, 960u) << halftone;
        // Dots burned in `rows` rows from y (kernels leave patterns a few
        // rows high: windows of 12 rows even them out).
        auto dots = [&](unsigned y, unsigned rows = 12) -> long {
          if (paper.dots.empty()) return 0;  // nothing burnt: the white rows were all fed
          return std::count_if(paper.dots.begin() + long{y} * 576, paper.dots.begin() + long{y + rows} * 576,
                               [](uint8_t d) { return d != 0; });
        };
        const long inside = dots(48, 144) / 12;  // the middle of the first band
        for (unsigned boundary : {240u, 480u, 720u})
          for (unsigned y : {boundary - 12, boundary})
            EXPECT_NEAR(dots(y), inside, std::max(12L, inside / 5))
                << halftone << (turned ? " turned" : "") << ", gray " << int(gray) << ", rows " << y;
      }
    }
  }
}

TEST(PageEncoder, UpsideDownSendsTheLastBandFirstEachTurned) {
  receipt::Options o;
  o.halftone = "HT_Burkes";
  o.rotate180 = true;
  const unsigned width = 639, left = 32, height = 530;  // bands of 240, 240, 50
  const std::vector<uint8_t> page = Page(width, height);
  // Halftoned down the page, sent up it.
  std::vector<std::vector<uint8_t>> bands;
  DiffusionCarry carry;
  for (unsigned first : {0u, 240u, 480u})
    bands.push_back(Reference(page, width, left, first, std::min(240u, height - first), o, carry, /*halfTurn=*/true));
  std::vector<uint8_t> want;
  for (auto band = bands.rbegin(); band != bands.rend(); ++band) Append(want, *band);
  Append(want, kCut);
  ExpectPipelinePaperInkedRowsOnly(Print(o, page, width, left), want);
}

TEST(PageEncoder, WithoutTheSliceFeedRecordsEndAtTheirRows) {
  receipt::Options o;
  o.sliceFeed = false;
  o.cut = receipt::Cut::kNone;
  const std::vector<uint8_t> page(576 * 50, 0);
  const std::vector<uint8_t> bytes = Print(o, page, 576, 0);
  // 24 + 24 + 2 rows of 72 bytes, each record only its header and rows.
  ASSERT_EQ(bytes.size(), 3 * 8 + 50 * 72u);
  const DecodedStream strict = DecodeStream(bytes.data(), bytes.size());
  EXPECT_FALSE(strict.ok);
  const StreamModel advancing{true, true};
  const DecodedStream d = DecodeStream(bytes.data(), bytes.size(), advancing);
  ASSERT_TRUE(d.ok) << d.error;
  const Paper paper = LayOut(d, advancing);
  EXPECT_EQ(paper.height, 50u);
  EXPECT_TRUE(std::all_of(paper.dots.begin(), paper.dots.end(), [](uint8_t v) { return v == 1; }));
}

TEST(PageEncoder, CutsAndCopies) {
  const std::vector<uint8_t> page(576 * 24, 0);
  auto cuts = [&](receipt::Cut cut, unsigned copies) {
    receipt::Options o;
    o.cut = cut;
    o.copies = copies;
    o.pagesPerCopy = 1;
    const std::vector<uint8_t> bytes = Print(o, page, 576, 0, copies);
    const DecodedStream d = DecodeStream(bytes.data(), bytes.size(), StreamModel{false, true});
    EXPECT_TRUE(d.ok) << d.error;
    return std::count_if(d.items.begin(), d.items.end(), [](const StreamItem& i) { return i.kind == StreamItem::kCut; });
  };
  EXPECT_EQ(cuts(receipt::Cut::kEachPage, 3), 3);
  EXPECT_EQ(cuts(receipt::Cut::kEndOfJob, 3), 3);  // between copies and at the end
  EXPECT_EQ(cuts(receipt::Cut::kEndOfJob, 1), 1);
  EXPECT_EQ(cuts(receipt::Cut::kNone, 3), 0);
}

TEST(PageEncoder, DrawerPulseEndsTheJob) {
  const std::vector<uint8_t> page(576 * 24, 255);
  for (int pin : {2, 5}) {
    receipt::Options o;
    o.drawerPin = pin;
    const std::vector<uint8_t> bytes = Print(o, page, 576, 0);
    ASSERT_GE(bytes.size(), 9u);
    const std::vector<uint8_t> tail(bytes.end() - 9, bytes.end());
    EXPECT_EQ(tail, (std::vector<uint8_t>{0x1D, 0x56, 0x42, 0x00, 0x1B, 0x70, pin == 2 ? uint8_t{0} : uint8_t{1}, 25, 250}));
  }
}

TEST(PageEncoder, ARefusingDeviceStopsTheJob) {
  Collect sink;
  sink.failAfter = 1;
  receipt::Options o;
  receipt::PageEncoder encoder(o, sink);
  ASSERT_TRUE(encoder.StartPage(576, 0));
  std::vector<uint8_t> line(576, 0);
  bool ok = true;
  for (int y = 0; y < 480 && ok; ++y) ok = encoder.WriteLine(line.data());
  EXPECT_FALSE(ok);
  EXPECT_FALSE(encoder.EndPage());
  EXPECT_FALSE(encoder.EndJob());
  EXPECT_EQ(encoder.Error(), "the printer did not take the job's bytes");
  EXPECT_EQ(sink.writes, 1u);
}

TEST(PageEncoder, BadPagesAreRefused) {
  Collect sink;
  receipt::Options o;
  {
    receipt::PageEncoder encoder(o, sink);
    EXPECT_FALSE(encoder.StartPage(0, 0));
  }
  {
    receipt::PageEncoder encoder(o, sink);
    EXPECT_FALSE(encoder.StartPage(100, 100));
  }
  {
    receipt::PageEncoder encoder(o, sink);
    std::vector<uint8_t> line(576, 0);
    EXPECT_FALSE(encoder.WriteLine(line.data()));
    EXPECT_EQ(encoder.Error(), "a line outside a page");
  }
  EXPECT_TRUE(sink.bytes.empty());
}

class ReceiptTestPage : public ::testing::TestWithParam<unsigned> {};

// The block is 240 rows of solid black, and the words fit the line with a
// margin at either side: none is clipped on the 58 mm printer's 384 dots.
TEST_P(ReceiptTestPage, HoldsA240DotSolidBlockAndWordsThatFitTheLine) {
  const unsigned width = GetParam();
  unsigned height = 0;
  const std::vector<uint8_t> page = TestPagePixels(width, &height);
  ASSERT_EQ(page.size(), size_t{width} * height);
  unsigned solidRows = 0, longest = 0, rightmostInk = 0;
  for (unsigned y = 0; y < height; ++y) {
    const uint8_t* row = &page[size_t{y} * width];
    const bool solid = std::all_of(row + 48, row + width - 48, [](uint8_t v) { return v == 0; });
    solidRows = solid ? solidRows + 1 : 0;
    longest = std::max(longest, solidRows);
    if (!solid)
      for (unsigned x = 0; x < width; ++x)
        if (row[x] == 0) rightmostInk = std::max(rightmostInk, x);
  }
  EXPECT_EQ(longest, 240u);
  EXPECT_LT(rightmostInk, width - 12);
  EXPECT_TRUE(std::any_of(page.begin(), page.begin() + 100 * width, [](uint8_t v) { return v == 0; }));
}

INSTANTIATE_TEST_SUITE_P(Lines, ReceiptTestPage, ::testing::Values(kLineDots, kNarrowLineDots));

// A page of white with black bars across it: {first row, rows} each.
std::vector<uint8_t> Bars(unsigned width, unsigned height, std::initializer_list<std::pair<unsigned, unsigned>> bars) {
  std::vector<uint8_t> page(size_t{width} * height, 255);
  for (const auto& bar : bars) std::fill_n(&page[size_t{bar.first} * width], size_t{bar.second} * width, 0);
  return page;
}

// What the job sent, item by item: 'F' feed n, 'R' raster of n rows, 'C' cut.
std::vector<std::pair<char, unsigned>> Items(const std::vector<uint8_t>& bytes) {
  const DecodedStream d = DecodeStream(bytes.data(), bytes.size(), StreamModel{false, true});
  EXPECT_TRUE(d.ok) << d.error << " at " << d.errorOffset;
  std::vector<std::pair<char, unsigned>> items;
  for (const StreamItem& i : d.items) {
    if (i.kind == StreamItem::kFeed) items.push_back({'F', i.feed});
    if (i.kind == StreamItem::kRaster) items.push_back({'R', i.rows});
    if (i.kind == StreamItem::kCut) items.push_back({'C', 0});
  }
  return items;
}

class FitPaperToContent : public ::testing::TestWithParam<unsigned> {};

// Worked by hand: 100 white rows, a bar of 30, 200 white, a bar of 10, 300
// white. The paper is 24 + 30 + 200 + 10 + 24 rows: 3 mm above the first
// bar, the white run between the bars fed, 3 mm below the last, whatever
// the band height.
TEST_P(FitPaperToContent, BlankRowsAboveAndBelowAreLeftOutButTheMargin) {
  receipt::Options o;
  o.fitPaperToContent = true;
  o.bandHeight = GetParam();
  const std::vector<uint8_t> page = Bars(576, 640, {{100, 30}, {330, 10}});
  const std::vector<uint8_t> bytes = Print(o, page, 576, 0);
  const Paper paper = PaperOf(bytes);
  EXPECT_EQ(paper.height, 288u);
  const auto runs = InkRuns(paper);
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[0], (std::pair<unsigned, unsigned>{24, 30}));
  EXPECT_EQ(runs[1], (std::pair<unsigned, unsigned>{254, 10}));
  // No white raster row is sent: every raster row printed is a bar row.
  unsigned rasterRows = 0;
  for (const auto& item : Items(bytes))
    if (item.first == 'R') rasterRows += item.second;
  EXPECT_EQ(rasterRows, 40u);
}

INSTANTIATE_TEST_SUITE_P(BandHeights, FitPaperToContent, ::testing::Values(24u, 50u, 100u, 240u));

TEST(FitPaperToContentBytes, FeedsAndSlicesInOrder) {
  receipt::Options o;
  o.fitPaperToContent = true;
  const std::vector<uint8_t> page = Bars(576, 640, {{100, 30}, {330, 10}});
  const std::vector<std::pair<char, unsigned>> want = {{'F', 24}, {'R', 24}, {'R', 6}, {'F', 200},
                                                       {'R', 10}, {'F', 24}, {'C', 0}};
  EXPECT_EQ(Items(Print(o, page, 576, 0)), want);
}

TEST(FitPaperToContentBytes, GapsBetweenLinesAreFedHoweverShort) {
  receipt::Options o;
  o.fitPaperToContent = true;
  o.cut = receipt::Cut::kNone;
  const std::vector<uint8_t> page = Bars(576, 200, {{40, 16}, {57, 16}, {88, 16}});
  const std::vector<std::pair<char, unsigned>> want = {{'F', 24}, {'R', 16}, {'F', 1}, {'R', 16},
                                                       {'F', 15}, {'R', 16}, {'F', 24}};
  EXPECT_EQ(Items(Print(o, page, 576, 0)), want);
}

// On a line of 64 dots a white row costs 8 bytes, less than a record header
// and its feed (11): a gap of one row stays in the raster, one of two is fed.
TEST(WhiteRows, ANarrowLineKeepsGapsTooShortToPayForARecord) {
  receipt::Options o;
  o.lineDots = 64;
  o.cut = receipt::Cut::kNone;
  const std::vector<uint8_t> page = Bars(64, 9, {{0, 2}, {3, 2}, {7, 2}});
  const std::vector<std::pair<char, unsigned>> want = {{'R', 5}, {'F', 2}, {'R', 2}};
  EXPECT_EQ(Items(Print(o, page, 64, 0)), want);
}

struct GapCase {
  unsigned lineDots, bandHeight;
  bool sliceFeed, fit, turned;
};

class WhiteRowsAsFeeds : public ::testing::TestWithParam<GapCase> {};

// Ten bars of 14 rows with white gaps of 1 to 34 rows between them, and
// white above and below: 140 raster rows, the bars', and the paper of the
// pipeline's bands (fitted: the bars with their gaps and 3 mm margins).
TEST_P(WhiteRowsAsFeeds, OnlyInkedRowsGoOutAsRaster) {
  const GapCase& c = GetParam();
  const unsigned gaps[] = {1, 2, 3, 5, 8, 13, 21, 23, 34};
  std::vector<std::pair<unsigned, unsigned>> bars;
  unsigned y = 40;
  for (unsigned gap : gaps) {
    bars.push_back({y, 14});
    y += 14 + gap;
  }
  bars.push_back({y, 14});
  const unsigned height = y + 14 + 61;
  std::vector<uint8_t> page(size_t{c.lineDots} * height, 255);
  for (const auto& bar : bars) std::fill_n(&page[size_t{bar.first} * c.lineDots], size_t{bar.second} * c.lineDots, 0);

  receipt::Options o;
  o.lineDots = c.lineDots;
  o.bandHeight = c.bandHeight;
  o.sliceFeed = c.sliceFeed;
  o.fitPaperToContent = c.fit;
  o.rotate180 = c.turned;
  const StreamModel model{!c.sliceFeed, true};
  const std::vector<uint8_t> bytes = Print(o, page, c.lineDots, 0);
  if (c.fit) {
    const DecodedStream d = DecodeStream(bytes.data(), bytes.size(), model);
    ASSERT_TRUE(d.ok) << d.error;
    const Paper paper = LayOut(d, model);
    EXPECT_EQ(paper.height, 24 + (y + 14 - 40) + 24);
    EXPECT_EQ(InkRuns(paper).size(), 10u);
    EXPECT_EQ(RasterRows(bytes, model), 140u);
    return;
  }
  // The pipeline's bands, one after the other, then the cut.
  std::vector<uint8_t> want;
  std::vector<std::vector<uint8_t>> bands;
  for (unsigned first = 0; first < height; first += c.bandHeight) {
    const unsigned count = std::min(c.bandHeight, height - first);
    BandJob job{};
    job.lineDots = static_cast<int32_t>(c.lineDots);
    job.settings.halfTurn = c.turned;
    job.sliceFeed = c.sliceFeed;
    job.copies = 1;
    SpoolCollect out;
    EXPECT_EQ(RenderBand(BandInput{&page[size_t{first} * c.lineDots], c.lineDots, count, c.lineDots}, job, out),
              BandOutcome::kSent);
    bands.push_back(out.bytes);
  }
  if (c.turned) std::reverse(bands.begin(), bands.end());
  for (const auto& band : bands) Append(want, band);
  Append(want, kCut);
  ExpectPipelinePaperInkedRowsOnly(bytes, want, model);
  EXPECT_EQ(RasterRows(bytes, model), 140u);
}

INSTANTIATE_TEST_SUITE_P(Pages, WhiteRowsAsFeeds,
                         ::testing::Values(GapCase{576, 240, true, false, false}, GapCase{576, 50, true, false, true},
                                           GapCase{576, 240, false, false, false}, GapCase{384, 24, true, false, false},
                                           GapCase{576, 240, true, true, false}, GapCase{384, 100, false, true, true}));

TEST(FitPaperToContentBytes, LongWhiteRunsAreFedInStepsOf255) {
  receipt::Options o;
  o.fitPaperToContent = true;
  o.cut = receipt::Cut::kNone;
  const std::vector<uint8_t> page = Bars(576, 700, {{0, 2}, {602, 2}});
  const std::vector<std::pair<char, unsigned>> want = {{'R', 2}, {'F', 255}, {'F', 255}, {'F', 90}, {'R', 2}, {'F', 24}};
  EXPECT_EQ(Items(Print(o, page, 576, 0)), want);
}

TEST(FitPaperToContentBytes, ABlankPageUsesNoPaperAndIsNotCut) {
  receipt::Options o;
  o.fitPaperToContent = true;
  const std::vector<uint8_t> blank(size_t{576} * 7992, 255);
  EXPECT_TRUE(Print(o, blank, 576, 0).empty());
  o.cut = receipt::Cut::kEndOfJob;
  EXPECT_TRUE(Print(o, blank, 576, 0, 2).empty());
  o.cut = receipt::Cut::kEachPage;
  // Upside down, the same page gives the same paper.
  const std::vector<uint8_t> page = Bars(576, 640, {{100, 30}, {330, 10}});
  o.rotate180 = true;
  const Paper turned = PaperOf(Print(o, page, 576, 0));
  EXPECT_EQ(turned.height, 288u);
  const auto runs = InkRuns(turned);
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[0], (std::pair<unsigned, unsigned>{24, 10}));
  EXPECT_EQ(runs[1], (std::pair<unsigned, unsigned>{234, 30}));
}

TEST(PreparedRows, PaddingBitsAreNotInk) {
  for (unsigned width : {1u, 7u, 8u, 9u, 383u, 576u}) {
    std::vector<uint8_t> band(size_t{width} * 3, 255);
    band[size_t{1} * width + width - 1] = 0;  // the last dot of the middle row
    BandJob job{};
    job.halftone = "HT_NONE";
    LxImage work;
    ASSERT_EQ(PrepareBand(BandInput{band.data(), width, 3, width}, job, work), BandOutcome::kSent);
    EXPECT_TRUE(PreparedRowIsBlank(work, 0)) << width;
    EXPECT_FALSE(PreparedRowIsBlank(work, 1)) << width;
    EXPECT_TRUE(PreparedRowIsBlank(work, 2)) << width;
  }
}

TEST(Darkness, ToneCurveBendsTheGraysAndKeepsBlackAndWhite) {
  EXPECT_EQ(receipt::DarknessCurve(0)[128], 128);
  EXPECT_EQ(receipt::DarknessCurve(100)[128], 64);    // 255 * (128/255)^2 = 64.25
  EXPECT_EQ(receipt::DarknessCurve(-100)[128], 181);  // 255 * (128/255)^0.5 = 180.7
  EXPECT_EQ(receipt::DarknessCurve(50)[128], 96);     // 255 * (128/255)^1.414 = 96.2
  for (int d : {-100, -30, 0, 40, 100}) {
    const std::vector<uint8_t> c = receipt::DarknessCurve(d);
    EXPECT_EQ(c[0], 0) << d;
    EXPECT_EQ(c[255], 255) << d;
    EXPECT_TRUE(std::is_sorted(c.begin(), c.end())) << d;
  }
  EXPECT_EQ(receipt::DarknessCurve(1000), receipt::DarknessCurve(100));
  EXPECT_EQ(receipt::DarknessCurve(-1000), receipt::DarknessCurve(-100));
}

TEST(Darkness, ADarkerJobBurnsMoreDots) {
  // A flat middle gray, error-diffused: darkness 100 burns about three
  // quarters of the dots where 0 burns about half.
  const std::vector<uint8_t> page(size_t{576} * 96, 128);
  auto burnt = [&](int darkness) {
    receipt::Options o;
    o.halftone = "HT_FloydSteinberg";
    o.darkness = darkness;
    const Paper paper = PaperOf(Print(o, page, 576, 0));
    return std::count(paper.dots.begin(), paper.dots.end(), 1) / static_cast<double>(paper.dots.size());
  };
  EXPECT_NEAR(burnt(0), 0.5, 0.02);
  EXPECT_NEAR(burnt(100), 0.75, 0.02);
  EXPECT_NEAR(burnt(-100), 0.29, 0.02);
}

class NarrowLine : public ::testing::TestWithParam<int32_t> {};

// The 58 mm printer: 384 dots, the paper of the pipeline's own bands with the
// line set to 384, so that an offset lays the band onto 384 dots.
TEST_P(NarrowLine, PagesPrintOnThe384DotLine) {
  receipt::Options o;
  o.lineDots = kNarrowLineDots;
  o.halftone = "HT_FloydSteinberg";
  o.offsetNumber = GetParam();
  o.cut = receipt::Cut::kNone;
  const unsigned width = 463, left = 40, height = 300;  // a 58 mm page, 5 mm margins
  const std::vector<uint8_t> page = Page(width, height);
  std::vector<uint8_t> want;
  DiffusionCarry carry;
  for (unsigned first = 0; first < height; first += 240) {
    const unsigned count = std::min(240u, height - first);
    std::vector<uint8_t> band(size_t{384} * count);
    for (unsigned y = 0; y < count; ++y) std::memcpy(&band[size_t{y} * 384], &page[size_t{first + y} * width + left], 384);
    BandJob job{};
    job.settings.offsetNumber = o.offsetNumber;
    job.lineDots = 384;
    job.halftone = o.halftone.c_str();
    job.copies = 1;
    Append(want, CarriedBand(BandInput{band.data(), 384, count, 384}, job, carry));
  }
  const std::vector<uint8_t> bytes = Print(o, page, width, left);
  ExpectPipelinePaperInkedRowsOnly(bytes, want);
  EXPECT_EQ(PaperOf(bytes).width, 384u);
  EXPECT_EQ(PrintableLeft(width, 0, 203, kNarrowLineDots), 39u);  // centred without a box
}

INSTANTIATE_TEST_SUITE_P(Offsets, NarrowLine, ::testing::Values(0, 12, -40));

}  // namespace
