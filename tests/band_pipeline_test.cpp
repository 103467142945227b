// Tests of the band pipeline: golden bytes worked by hand, the settings
// texts, the host contract, and a round trip through the strict decoder.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "escpos_stream.h"
#include "fake_host.h"
#include "lxalloc.h"

namespace {

// A band of `height` rows of `width` gray pixels, every pixel `level`.
struct Band {
  DWORD width, height;
  std::vector<BYTE> rows;
  BITMAPINFOHEADER header{};
  Band(DWORD w, DWORD h, BYTE level = 255) : width(w), height(h), rows(size_t{w} * h, level) {
    header.biSize = 40;
    header.biWidth = static_cast<LONG>(w);
    header.biHeight = static_cast<LONG>(h);
    header.biBitCount = 8;
    header.biSizeImage = w * h;
  }
  BYTE& at(DWORD x, DWORD row) { return rows[size_t{row} * width + x]; }
  void DarkRow(DWORD row) {
    for (DWORD x = 0; x < width; ++x) at(x, row) = 0;
  }
};

class Pipeline : public ::testing::Test {
 protected:
  void SetUp() override { g_nCopies = 1; }
  void TearDown() override { g_nCopies = 1; }

  HRESULT Run(Band& band, const char* halftone = "HT_NONE", BOOL banding = FALSE) {
    IPPARAMS params{};
    params.dwSize = sizeof(params);
    params.pHalftoneOption = const_cast<PSTR>(halftone);
    params.bBanding = banding;
    result = reinterpret_cast<PBYTE>(0x5);
    return ProcessBand(host.pdevobj(), band.rows.data(), &band.header, nullptr, 3, &params, &result);
  }

  // The printed picture: one string of '#' and '.' per dot row, from the
  // strict decoder's paper model without the feeds' gaps.
  std::vector<std::string> Printed() {
    const std::vector<BYTE> stream = host.Stream();
    const DecodedStream decoded = DecodeStream(stream.data(), stream.size());
    EXPECT_TRUE(decoded.ok) << decoded.error << " at " << decoded.errorOffset;
    std::vector<std::string> rows;
    for (const StreamItem& item : decoded.items) {
      for (uint32_t r = 0; item.kind == StreamItem::kRaster && r < item.rows; ++r) {
        std::string line;
        for (uint32_t x = 0; x < item.rowBytes * 8; ++x) {
          line += (item.bits[r * item.rowBytes + x / 8] >> (7 - x % 8)) & 1 ? '#' : '.';
        }
        rows.push_back(line);
      }
    }
    return rows;
  }

  FakeHost host;
  PBYTE result = nullptr;
};

std::vector<size_t> Sizes(const FakeHost& host) {
  std::vector<size_t> sizes;
  for (const auto& w : host.writes) sizes.push_back(w.size());
  return sizes;
}

TEST_F(Pipeline, FiftyRowsOnTheLineAreThreeWrites) {
  Band band(576, 50, 0);
  ASSERT_EQ(Run(band), S_OK);
  EXPECT_EQ(result, reinterpret_cast<PBYTE>(1));
  ASSERT_EQ(Sizes(host), (std::vector<size_t>{1739, 1739, 155}));
  const std::vector<BYTE> header = {0x1D, 0x76, 0x30, 0x00, 72, 0x00, 24, 0x00};
  EXPECT_EQ(std::vector<BYTE>(host.writes[0].begin(), host.writes[0].begin() + 8), header);
  EXPECT_EQ(host.writes[2][6], 2) << "the short slice says 2 rows";
  // Each record moves the paper by its own rows: 24, 24, then 2, so that
  // the next band prints right below the short slice.
  const BYTE feeds[] = {24, 24, 2};
  for (size_t i = 0; i < host.writes.size(); ++i) {
    const auto& w = host.writes[i];
    EXPECT_EQ(std::vector<BYTE>(w.end() - 3, w.end()), (std::vector<BYTE>{0x1B, 0x4A, feeds[i]})) << "record " << i;
    EXPECT_EQ(w[8], 0xFF) << "black pixels are burnt dots";
  }
}

TEST_F(Pipeline, FortyEightRowsAreExactlyTwoRecordsAndTenRowsOne) {
  Band two(576, 48, 0);
  ASSERT_EQ(Run(two), S_OK);
  EXPECT_EQ(Sizes(host), (std::vector<size_t>{1739, 1739}));
  host.writes.clear();
  Band ten(576, 10, 0);
  ASSERT_EQ(Run(ten), S_OK);
  ASSERT_EQ(Sizes(host), (std::vector<size_t>{10 * 72 + 11}));
  EXPECT_EQ(host.writes[0][6], 10);
  EXPECT_EQ(host.writes[0][7], 0);
}

TEST_F(Pipeline, WidthThirteenPacksTwoBytesAndPadsToFour) {
  Band band(13, 1, 255);
  band.at(0, 0) = 0;   // dot
  band.at(12, 0) = 0;  // dot, the last pixel
  band.at(8, 0) = 0;   // dot
  ASSERT_EQ(Run(band), S_OK);
  ASSERT_EQ(host.writes.size(), 1u);
  const std::vector<BYTE>& w = host.writes[0];
  EXPECT_EQ(w[4], 4) << "P = 4";
  EXPECT_EQ(w[8], 0x80);
  EXPECT_EQ(w[9], 0x88) << "pixels 8 and 12; the three bits past pixel 12 are 0";
  EXPECT_EQ(w[10], 0);
  EXPECT_EQ(w[11], 0);
}

TEST_F(Pipeline, FirstRowOfTheBufferPrintsFirst) {
  Band band(8, 3, 255);
  band.at(0, 0) = 0;
  band.at(7, 2) = 0;
  ASSERT_EQ(Run(band), S_OK);
  const auto printed = Printed();
  ASSERT_EQ(printed.size(), 3u);
  EXPECT_EQ(printed[0].substr(0, 8), "#.......");
  EXPECT_EQ(printed[2].substr(0, 8), ".......#");
}

TEST_F(Pipeline, ThresholdIsOneEighty) {
  Band band(8, 1, 255);
  band.at(0, 0) = 180;
  band.at(1, 0) = 181;
  ASSERT_EQ(Run(band), S_OK);
  EXPECT_EQ(Printed()[0].substr(0, 2), "#.");
}

struct ShiftCase {
  const char* option;
  DWORD width;
  DWORD firstDot;     // the first burnt dot
  DWORD printedWidth; // dots per printed row (P x 8)
  DWORD whiteFrom;    // first dot of the white tail, or printedWidth
};

class PipelineShift : public Pipeline, public ::testing::WithParamInterface<ShiftCase> {};

// Every band is black; the printed row shows where it landed.
TEST_P(PipelineShift, BandLandsOnTheLine) {
  const ShiftCase& c = GetParam();
  host.settings["HorizontalOffset"] = c.option;
  Band band(c.width, 2, 0);
  ASSERT_EQ(Run(band), S_OK);
  const std::string row = Printed()[0];
  ASSERT_EQ(row.size(), c.printedWidth);
  EXPECT_EQ(row.find('#'), c.firstDot);
  const size_t tail = row.find_last_of('#') + 1;
  EXPECT_EQ(tail, c.whiteFrom);
}

INSTANTIATE_TEST_SUITE_P(
    Offsets, PipelineShift,
    ::testing::Values(
        // n = 1 and -1 give F = 0, yet the band is laid onto the 576-dot line.
        ShiftCase{"P1", 400, 0, 576, 400}, ShiftCase{"M1", 400, 0, 576, 400},
        // No offset keeps the band's own width, unclipped.
        ShiftCase{"P0", 640, 0, 640, 640}, ShiftCase{"none", 640, 0, 640, 640},
        // F = 100: columns 0..99 white, band columns 0..475 at 100..575.
        ShiftCase{"P125", 576, 100, 576, 576},
        // F = -100: band columns 100..575 at 0..475, 476..575 white.
        ShiftCase{"M125", 576, 0, 576, 476},
        // F >= 576, or w + F <= 0: sent unshifted at its own width.
        ShiftCase{"P720", 400, 0, 416, 400}, ShiftCase{"M600", 400, 0, 416, 400},
        // A number past 32 bits saturates and cannot shift.
        ShiftCase{"P99999999999", 400, 0, 416, 400},
        ShiftCase{"M99999999999", 400, 0, 416, 400}));

TEST(Offsets, OptionTextsToNumbersAndDots) {
  EXPECT_EQ(ParseHorizontalOffset("P12"), 12);
  EXPECT_EQ(OffsetDots(12), 9);
  EXPECT_EQ(ParseHorizontalOffset("M12"), -12);
  EXPECT_EQ(OffsetDots(-12), -9);
  EXPECT_EQ(ParseHorizontalOffset("Offset0"), 0);
  EXPECT_EQ(ParseHorizontalOffset("M3P12"), 12) << "the number after the P";
  EXPECT_EQ(ParseHorizontalOffset("P 7x"), 7) << "atoi skips spaces and stops at the first non-digit";
  EXPECT_EQ(ParseHorizontalOffset("P-5"), -5);
  EXPECT_EQ(ParseHorizontalOffset("M-5"), 5);
  EXPECT_EQ(ParseHorizontalOffset("P99999999999"), INT32_MAX);
  EXPECT_EQ(ParseHorizontalOffset("M-99999999999"), INT32_MAX);
  EXPECT_EQ(ParseHorizontalOffset("M99999999999"), INT32_MIN);
  EXPECT_EQ(ParseHorizontalOffset(nullptr), 0);
  EXPECT_EQ(OffsetDots(5), 4);
  EXPECT_EQ(OffsetDots(-5), -4);
  EXPECT_EQ(OffsetDots(13), 10);
  EXPECT_EQ(OffsetDots(1), 0);
  EXPECT_EQ(OffsetDots(-1), 0);
  EXPECT_EQ(OffsetDots(INT32_MAX), 1717986917);
}

TEST(Settings, HalfTurnSavePaperAndHalftoneNames) {
  EXPECT_TRUE(ParseTranslate180("TRANS_180"));
  EXPECT_FALSE(ParseTranslate180("TRANS_180 "));
  EXPECT_FALSE(ParseTranslate180(nullptr));
  EXPECT_EQ(ParseSavePaperMode("SavePaper_Top"), kSaveTop);
  EXPECT_EQ(ParseSavePaperMode("SavePaper_Bottom"), kSaveBottom);
  EXPECT_EQ(ParseSavePaperMode("SavePaper_TopAndBottom"), kSaveTopAndBottom);
  EXPECT_EQ(ParseSavePaperMode("SavePaper_None"), kSaveNone);
  const std::pair<const char*, long> dithers[] = {
      {"HT_Ordered", 1}, {"HT_Burkes", 2},  {"HT_Stucki", 3},       {"HT_FloydSteinberg", 0},
      {"HT_Jarvis-Judice-Ninke", 4},        {"HT_Sierra", 5},       {"HT_StevensonArce", 6}};
  for (const auto& d : dithers) {
    EXPECT_FALSE(HalftoneFor(d.first).threshold) << d.first;
    EXPECT_EQ(HalftoneFor(d.first).method, d.second) << d.first;
  }
  for (const char* name : {"HT_NONE", "ht_stucki", "HT_Stucki2", "", static_cast<const char*>(nullptr)}) {
    EXPECT_TRUE(HalftoneFor(name).threshold) << (name ? name : "null");
  }
}

// Save paper: rows listed top first; `dark` rows are black, the rest white.
struct SaveCase {
  const char* mode;
  DWORD height;
  std::vector<DWORD> dark;
  DWORD keptFrom, keptTo;  // band rows kept, counted from the top, inclusive
};

class PipelineSavePaper : public Pipeline, public ::testing::WithParamInterface<SaveCase> {};

TEST_P(PipelineSavePaper, KeepsTheRowsWorkedByHand) {
  const SaveCase& c = GetParam();
  host.settings["SavePaperMode"] = c.mode;
  Band band(8, c.height, 255);
  // Mark each row's position in the first pixels' pattern so kept rows can be
  // told apart: a dark row is all black, a white row carries nothing.
  for (DWORD row : c.dark) band.DarkRow(row);
  ASSERT_EQ(Run(band), S_OK);
  const auto printed = Printed();
  ASSERT_EQ(printed.size(), c.keptTo - c.keptFrom + 1);
  for (DWORD i = 0; i < printed.size(); ++i) {
    const DWORD row = c.keptFrom + i;
    const bool dark = std::find(c.dark.begin(), c.dark.end(), row) != c.dark.end();
    EXPECT_EQ(printed[i].substr(0, 8), dark ? "########" : "........") << "band row " << row;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Modes, PipelineSavePaper,
    ::testing::Values(
        // First dark row 12: from row 7 on.
        SaveCase{"SavePaper_Top", 40, {12, 30}, 7, 39},
        // First dark row 3: from row 3 on, no margin above (3 is not more than 5).
        SaveCase{"SavePaper_Top", 40, {3}, 3, 39},
        // Last dark row 80 of 200: rows 0 to 86 (bottom = 82 + 5).
        SaveCase{"SavePaper_Bottom", 200, {10, 80}, 0, 86},
        SaveCase{"SavePaper_TopAndBottom", 200, {50, 80}, 45, 86},
        // All white: the last 5 rows of 100; all of a band of 5 or fewer.
        SaveCase{"SavePaper_Top", 100, {}, 95, 99}, SaveCase{"SavePaper_Top", 5, {}, 0, 4},
        SaveCase{"SavePaper_Bottom", 30, {}, 0, 29},
        SaveCase{"SavePaper_TopAndBottom", 30, {}, 25, 29},
        // The bottom bound of H + 1 keeps the last row.
        SaveCase{"SavePaper_Bottom", 30, {29}, 0, 29},
        SaveCase{"SavePaper_None", 30, {}, 0, 29}));

TEST_F(Pipeline, CopiesWithBandingAreCutBetweenOnly) {
  g_nCopies = 3;
  Band band(576, 30, 0);
  ASSERT_EQ(Run(band, "HT_NONE", TRUE), S_OK);
  EXPECT_EQ(Sizes(host), (std::vector<size_t>{1739, 6 * 72 + 11, 4, 1739, 6 * 72 + 11, 4, 1739,
                                              6 * 72 + 11}));
  EXPECT_EQ(host.writes[2], (std::vector<BYTE>{0x1D, 0x56, 0x42, 0x00}));
  host.writes.clear();
  ASSERT_EQ(Run(band, "HT_NONE", FALSE), S_OK);
  EXPECT_EQ(Sizes(host), (std::vector<size_t>{1739, 6 * 72 + 11})) << "no banding: once, no cut";
}

TEST_F(Pipeline, NonPositiveCopiesPrintOnce) {
  g_nCopies = 0;
  Band band(8, 2, 0);
  ASSERT_EQ(Run(band, "HT_NONE", TRUE), S_OK);
  EXPECT_EQ(host.writes.size(), 1u);
}

TEST_F(Pipeline, BlankBandsAndForeignCallsWriteNothing) {
  Band band(8, 2, 0);
  IPPARAMS params{};
  params.pHalftoneOption = const_cast<PSTR>("HT_NONE");
  params.bBlankBand = TRUE;
  EXPECT_EQ(ProcessBand(host.pdevobj(), band.rows.data(), &band.header, nullptr, 3, &params, &result),
            E_FAIL);
  EXPECT_EQ(result, nullptr);
  EXPECT_EQ(host.queried, (std::vector<std::string>{"HorizontalOffset", "HorizontalOffset",
                                                    "Translate180", "Translate180",
                                                    "SavePaperMode", "SavePaperMode"}))
      << "settings are read first, each with a size query and a read";
  params.bBlankBand = FALSE;
  EXPECT_EQ(ProcessBand(host.pdevobj(), band.rows.data(), &band.header, nullptr, 4, &params, &result),
            E_FAIL);
  EXPECT_EQ(ProcessBand(host.pdevobj(), band.rows.data(), &band.header, nullptr, 3, nullptr, &result),
            E_FAIL);
  EXPECT_EQ(ProcessBand(host.pdevobj(), band.rows.data(), &band.header, nullptr, 3, &params, nullptr),
            E_POINTER);
  EXPECT_TRUE(host.writes.empty());
}

TEST_F(Pipeline, BandsWithoutRowsOrColumnsWriteNothing) {
  for (const std::pair<LONG, LONG>& size : {std::pair<LONG, LONG>{0, 5}, {5, 0}, {-8, 5}, {5, -3}}) {
    Band band(8, 5, 0);
    band.header.biWidth = size.first;
    band.header.biHeight = size.second;
    EXPECT_EQ(Run(band), E_FAIL) << size.first << "x" << size.second;
    EXPECT_EQ(result, nullptr);
  }
  Band shortRows(8, 5, 0);
  shortRows.header.biSizeImage = 5 * 4;  // rows of 4 bytes for 8 pixels
  EXPECT_EQ(Run(shortRows), E_FAIL);
  EXPECT_TRUE(host.writes.empty());
}

TEST_F(Pipeline, ZeroImageSizeMeansPaddedRows) {
  Band band(6, 2, 255);
  band.rows.assign(16, 255);  // rows padded to 8 bytes
  band.rows[8] = 0;           // the second row's first pixel
  band.header.biSizeImage = 0;
  ASSERT_EQ(Run(band), S_OK);
  const auto printed = Printed();
  EXPECT_EQ(printed[1].substr(0, 6), "#.....");
}

TEST_F(Pipeline, NoMemoryForTheBandImageWritesNothing) {
  Band band(16, 4, 0);
  LxFailAllocationAfter(0);
  EXPECT_EQ(Run(band), E_FAIL);
  LxFailAllocationAfter(-1);
  EXPECT_EQ(result, nullptr);
  EXPECT_TRUE(host.writes.empty());
}

TEST_F(Pipeline, NoMemoryForARecordWritesNothing) {
  Band band(576, 50, 0);
  for (int failAt : {3, 4}) {  // 0-2 read the settings, 3 the full slice, 4 the short one
    lxplatform::FailLocalAllocAfter(failAt);
    EXPECT_EQ(Run(band), E_FAIL) << failAt;
    lxplatform::FailLocalAllocAfter(-1);
    EXPECT_TRUE(host.writes.empty()) << "nothing of the band before the failure";
  }
}

TEST_F(Pipeline, WithoutDevmodePrintsPortrait) {
  host.devobj.pPublicDM = nullptr;
  Band band(16, 2, 0);
  ASSERT_EQ(Run(band), S_OK);
  EXPECT_EQ(host.writes[0][4], 4) << "16 dots wide, not turned";
}

TEST_F(Pipeline, LandscapeTurnsTheBandLeft) {
  host.devmode.dmOrientation = DMORIENT_LANDSCAPE;
  Band band(3, 2, 255);
  band.at(0, 0) = 0;  // top-left of the band
  ASSERT_EQ(Run(band), S_OK);
  const auto printed = Printed();
  // A quarter turn counter-clockwise: 2 dots wide, 3 rows; the top edge
  // becomes the left edge, the top-left pixel the bottom-left dot.
  ASSERT_EQ(printed.size(), 3u);
  EXPECT_EQ(printed[0].substr(0, 2), "..");
  EXPECT_EQ(printed[2].substr(0, 2), "#.");
}

TEST_F(Pipeline, HalfTurnPrintsUpsideDown) {
  host.settings["Translate180"] = "TRANS_180";
  Band band(4, 2, 255);
  band.at(0, 0) = 0;
  ASSERT_EQ(Run(band), S_OK);
  const auto printed = Printed();
  EXPECT_EQ(printed[0].substr(0, 4), "....");
  EXPECT_EQ(printed[1].substr(0, 4), "...#");
}

TEST_F(Pipeline, UnknownHalftoneThresholdsAtOneEighty) {
  Band band(8, 1, 255);
  band.at(0, 0) = 180;
  band.at(1, 0) = 181;
  ASSERT_EQ(Run(band, "HT_Fancy"), S_OK);
  EXPECT_EQ(Printed()[0].substr(0, 2), "#.");
  host.writes.clear();
  ASSERT_EQ(Run(band, nullptr), S_OK);
  EXPECT_EQ(host.writes[0][4], 4) << "1-bit rows, never 8-bit";
}

TEST_F(Pipeline, HostThatLeavesTextsUnterminatedOrSaysZero) {
  host.settings["HorizontalOffset"] = "P125";
  host.leaveUnterminated = true;
  EXPECT_EQ(ReadDriverSetting(host.pdevobj(), "HorizontalOffset"), "P125");
  host.leaveUnterminated = false;
  host.answerZeroSize = true;
  EXPECT_EQ(ReadDriverSetting(host.pdevobj(), "HorizontalOffset"), "");
  host.procs.DrvGetDriverSetting = nullptr;
  EXPECT_EQ(ReadBandSettings(host.pdevobj()).offsetNumber, 0);
}

// Every halftone option: the stream decodes strictly and its rows are the
// prepared two-level band, inverted, top row first.
class PipelineRoundTrip : public Pipeline, public ::testing::WithParamInterface<const char*> {};

TEST_P(PipelineRoundTrip, StreamDecodesToTheHalftonedBand) {
  Band band(200, 61);
  for (DWORD y = 0; y < band.height; ++y)
    for (DWORD x = 0; x < band.width; ++x) band.at(x, y) = static_cast<BYTE>((x * 5 + y * 3) % 256);
  host.settings["HorizontalOffset"] = "P40";
  ASSERT_EQ(Run(band, GetParam()), S_OK);

  BandJob job{};
  job.settings.offsetNumber = 40;
  job.halftone = GetParam();
  BandInput input{band.rows.data(), band.width, band.height, band.width};
  LxImage work;
  ASSERT_EQ(PrepareBand(input, job, work), BandOutcome::kSent);

  const auto printed = Printed();
  ASSERT_EQ(printed.size(), work.GetHeight());
  for (DWORD r = 0; r < work.GetHeight(); ++r) {
    for (DWORD x = 0; x < work.GetWidth(); ++x) {
      const bool white = work.GetPixelIndex(static_cast<long>(x), static_cast<long>(work.GetHeight() - 1 - r));
      ASSERT_EQ(printed[r][x], white ? '.' : '#') << GetParam() << " row " << r << " dot " << x;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Halftones, PipelineRoundTrip,
                         ::testing::Values("HT_NONE", "HT_Ordered", "HT_Burkes", "HT_Stucki",
                                           "HT_FloydSteinberg", "HT_Jarvis-Judice-Ninke",
                                           "HT_Sierra", "HT_StevensonArce"));

TEST(EmitBand, RowsTooWideForARecordAreRefused) {
  LxImage wide(0x10000 * 8 + 1, 1, 1, 0);
  ASSERT_TRUE(wide.IsValid());
  struct Counting : SpoolSink {
    int writes = 0;
    void Write(const BYTE*, DWORD) override { ++writes; }
  } sink;
  BandJob job{};
  EXPECT_EQ(EmitBand(wide, job, sink), BandOutcome::kTooWide);
  EXPECT_EQ(sink.writes, 0);
  LxImage gray(8, 1, 8, 0);
  EXPECT_EQ(EmitBand(gray, job, sink), BandOutcome::kNoMemory) << "gray rows are never sent";
}

}  // namespace
