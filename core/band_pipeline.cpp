// band_pipeline.cpp: one gray band to ESC/POS raster records.
//
// The road of a band: the host's rows become an 8-bit image (first row on
// top) -> a quarter turn for landscape -> a half turn when asked -> with an
// offset, the shift onto the printer's white line -> save-paper trimming of
// white rows with a 5-row margin -> Threshold(180) or Dither(n) by the
// halftone option -> rows read top first, inverted so that a set bit burns a
// dot -> records of at most 24 rows, each with a feed of its own rows, once
// per copy.
#include "band_pipeline.h"

#include <algorithm>

#include <cstring>
#include <limits>

#include "escpos.h"
#include "lxwin.h"

namespace {

constexpr int kSaveMargin = 5;        // white rows kept beside the print
constexpr BYTE kThresholdLevel = 180;  // "HT_NONE"

// atoi's reading of a number (leading white space, a sign, digits), with the
// value saturated to 32 bits instead of overflowing.
int64_t ReadNumber(const char* p) {
  while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  int64_t value = 0;
  for (; *p >= '0' && *p <= '9'; ++p) {
    if (value <= std::numeric_limits<int32_t>::max()) value = value * 10 + (*p - '0');
  }
  return negative ? -value : value;
}

int32_t Saturate(int64_t v) {
  if (v > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (v < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(v);
}

// True when the first `width` bytes of a gray row are all white.
bool RowIsWhite(const BYTE* row, DWORD width) {
  for (DWORD x = 0; x < width; ++x) {
    if (row[x] != 255) return false;
  }
  return true;
}

// Lays the band onto the white line of `lineDots` dots (576 on 80 mm
// paper), F dots to the right (left when negative). False when the shift
// cannot be made; `band` is then untouched.
bool ShiftOntoLine(LxImage& band, int32_t dots, int32_t lineDots, LxImage& work) {
  const int64_t w = band.GetWidth();
  const DWORD h = band.GetHeight();
  if (w + dots <= 0 || h == 0 || lineDots <= 0 || dots >= lineDots) return false;
  if (!work.Create(lineDots, h, 8, 0)) return false;
  work.SetGrayPalette();
  const int64_t d = dots > 0 ? dots : 0;
  const int64_t s = dots < 0 ? -int64_t{dots} : 0;
  const int64_t len = (w - s) < (lineDots - d) ? (w - s) : (lineDots - d);
  for (DWORD r = 0; r < h; ++r) {
    BYTE* line = work.GetBits(r);
    std::memset(line, 255, static_cast<size_t>(lineDots));
    std::memcpy(line + d, band.GetBits(r) + s, static_cast<size_t>(len));
  }
  return true;
}

// Crops the white rows off the top and/or bottom of a gray image, keeping a
// margin of 5 rows; rows count from the top of the picture.
void SavePaper(LxImage& work, int mode) {
  const DWORD W = work.GetWidth();
  const DWORD H = work.GetHeight();
  DWORD top = 0;
  DWORD bottom = H;
  if (mode == kSaveTop || mode == kSaveTopAndBottom) {
    top = H;
    for (DWORD t = 0; t < H; ++t) {
      if (!RowIsWhite(work.GetBits(H - 1 - t), W)) {
        top = t;
        break;
      }
    }
  }
  if (mode == kSaveBottom || mode == kSaveTopAndBottom) {
    for (DWORD r = 0; r < H; ++r) {
      if (!RowIsWhite(work.GetBits(r), W)) {
        bottom = (H - 1 - r) + 2;  // one row past the exclusive bound
        break;
      }
    }
  }
  if (top > kSaveMargin) top -= kSaveMargin;
  if (bottom + kSaveMargin < H) bottom += kSaveMargin;
  // A rectangle that keeps every row would only copy the image.
  if (top < bottom && (top > 0 || bottom < H)) {
    work.Crop(0, static_cast<long>(top), static_cast<long>(W), static_cast<long>(bottom));
  }
}

// Copies stored row `row` of the two-level image into a record row of P
// bytes: inverted so that a set bit is a dot, bits past the last pixel and
// the padding cleared.
void PackRow(LxImage& work, DWORD row, DWORD width, DWORD P, BYTE* out) {
  const BYTE* src = work.GetBits(row);
  const DWORD k = (width + 7) / 8;
  for (DWORD b = 0; b < k; ++b) out[b] = static_cast<BYTE>(~src[b]);
  if (width % 8) out[k - 1] = static_cast<BYTE>(out[k - 1] & ~(0xFF >> (width % 8)));
  if (P > k) std::memset(out + k, 0, P - k);
}

struct LocalBuffer {
  explicit LocalBuffer(size_t size) : data(size ? static_cast<BYTE*>(LocalAlloc(LMEM_FIXED, size)) : nullptr) {}
  ~LocalBuffer() {
    if (data) LocalFree(data);
  }
  LocalBuffer(const LocalBuffer&) = delete;
  LocalBuffer& operator=(const LocalBuffer&) = delete;
  BYTE* data;
};

}  // namespace

int32_t ParseHorizontalOffset(const char* text) {
  if (!text) return 0;
  if (const char* p = std::strchr(text, 'P')) return Saturate(ReadNumber(p + 1));
  if (const char* m = std::strchr(text, 'M')) return Saturate(-ReadNumber(m + 1));
  return 0;
}

bool ParseTranslate180(const char* text) { return text && std::strcmp(text, "TRANS_180") == 0; }

int ParseSavePaperMode(const char* text) {
  if (!text) return kSaveNone;
  if (std::strcmp(text, "SavePaper_Top") == 0) return kSaveTop;
  if (std::strcmp(text, "SavePaper_Bottom") == 0) return kSaveBottom;
  if (std::strcmp(text, "SavePaper_TopAndBottom") == 0) return kSaveTopAndBottom;
  return kSaveNone;
}

int32_t OffsetDots(int32_t n) { return static_cast<int32_t>((int64_t{8} * n) / 10); }

namespace {
// The halftone options by name, as the printer description spells them.
const struct {
  const char* name;
  Halftone halftone;
} kHalftoneTable[kHalftoneOptions] = {
    {"HT_NONE", {true, 0}},          {"HT_Ordered", {false, 1}},
    {"HT_Burkes", {false, 2}},       {"HT_Stucki", {false, 3}},
    {"HT_FloydSteinberg", {false, 0}}, {"HT_Jarvis-Judice-Ninke", {false, 4}},
    {"HT_Sierra", {false, 5}},       {"HT_StevensonArce", {false, 6}},
};
}  // namespace

const char* HalftoneOptionName(int index) {
  return index >= 0 && index < kHalftoneOptions ? kHalftoneTable[index].name : nullptr;
}

int HalftoneIndexOf(const char* name) {
  for (int i = 0; name && i < kHalftoneOptions; ++i)
    if (std::strcmp(name, kHalftoneTable[i].name) == 0) return i;
  return -1;
}

Halftone HalftoneFor(const char* name) {
  const int index = HalftoneIndexOf(name);
  return index >= 0 ? kHalftoneTable[index].halftone : Halftone{true, 0};
}

namespace {

// PrepareBand's steps; with `carry`, the band is laid out top row first for
// the walk, the carried shares are added to its first rows, and the shares
// past its last row are kept for the next band.
BandOutcome Prepare(const BandInput& band, const BandJob& job, LxImage& work, DiffusionCarry* carry) {
  // A band with no rows or columns, or rows shorter than its width, has
  // nothing the printer could be sent.
  if (!band.rows || band.width == 0 || band.height == 0 || band.rowBytes < band.width) {
    return BandOutcome::kNoBand;
  }
  const Halftone halftone = HalftoneFor(job.halftone);
  // Only error diffusion has anything to carry: not the threshold, not the
  // ordered matrices (methods 1 and 7), whose pattern stays as it was.
  const bool diffusion = !halftone.threshold && halftone.method != 1 && halftone.method != 7;
  if (carry && (!diffusion || job.landscape || job.settings.savePaper != kSaveNone)) {
    carry->Reset();
    carry = nullptr;
  }
  // Stored bottom row first, as the printer reads a band; a carried walk
  // wants the band's top row first: stored that way, or by the half turn.
  const bool topFirst = carry && !job.settings.halfTurn;

  LxImage image;
  if (!image.CreateFromArray(const_cast<BYTE*>(band.rows), band.width, band.height, 8,
                             band.rowBytes, !topFirst)) {
    return BandOutcome::kNoMemory;
  }
  if (job.landscape) image.RotateLeft();
  if (job.settings.halfTurn) image.Rotate180();

  // With an offset the band goes onto the printer's line; without one, or
  // when it cannot be shifted, it goes on at its own width.
  if (job.settings.offsetNumber == 0 ||
      !ShiftOntoLine(image, OffsetDots(job.settings.offsetNumber), job.lineDots, work)) {
    work.Transfer(image);
  }

  if (job.settings.savePaper != kSaveNone) SavePaper(work, job.settings.savePaper);

  if (halftone.threshold) {
    work.Threshold(kThresholdLevel);
  } else if (!carry) {
    work.Dither(halftone.method);
  } else {
    const DWORD width = work.GetWidth(), height = work.GetHeight();
    if (carry->width == width && work.GetBpp() == 8) {
      for (DWORD r = 0; r < DiffusionCarry::kRows && r < height; ++r) {
        BYTE* row = work.GetBits(r);
        const int16_t* delta = &carry->delta[size_t{r} * width];
        for (DWORD x = 0; x < width; ++x) row[x] = static_cast<BYTE>(std::clamp(row[x] + delta[x], 0, 255));
      }
    }
    // The rows below take their shares from mid gray, so that the
    // difference is what they got.
    std::vector<BYTE> below(size_t{DiffusionCarry::kRows} * width, 128);
    work.Dither(halftone.method, below.data(), DiffusionCarry::kRows);
    carry->width = width;
    carry->delta.resize(below.size());
    for (size_t i = 0; i < below.size(); ++i) carry->delta[i] = static_cast<int16_t>(below[i] - 128);
    if (topFirst) work.Flip();
  }
  // Gray rows must never reach the printer as raster data.
  if (!work.IsValid() || work.GetBpp() != 1) return BandOutcome::kNoMemory;
  return BandOutcome::kSent;
}

}  // namespace

BandOutcome PrepareBand(const BandInput& band, const BandJob& job, LxImage& work) {
  return Prepare(band, job, work, nullptr);
}

BandOutcome PrepareBandCarrying(const BandInput& band, const BandJob& job, LxImage& work, DiffusionCarry& carry) {
  return Prepare(band, job, work, &carry);
}

namespace {

// The record buffers for slices of a prepared band, had before the first
// write: one for full 24-row slices, one for a short last slice.
class SliceWriter {
 public:
  SliceWriter(LxImage& work, DWORD rows, bool feed)
      : work_(work),
        P_(work.GetEffWidth()),
        feed_(feed),
        full_(rows >= kSliceRows ? RecordSize(kSliceRows) : 0),
        last_(rows % kSliceRows ? RecordSize(kSliceRows - 1) : 0),
        ok_((rows < kSliceRows || full_.data) && (rows % kSliceRows == 0 || last_.data)) {}

  bool ok() const { return ok_; }

  // Rows [first, first + count) counted from the top; `count` is at most the
  // rows the writer was made for.
  void Write(DWORD first, DWORD count, SpoolSink& sink) {
    const DWORD fullSlices = count / kSliceRows;
    for (DWORD j = 0; j < fullSlices; ++j) WriteSlice(full_.data, first + j * kSliceRows, kSliceRows, sink);
    if (count % kSliceRows) WriteSlice(last_.data, first + fullSlices * kSliceRows, count % kSliceRows, sink);
  }

 private:
  size_t RecordSize(DWORD rows) const {
    return escpos::kRasterHeaderSize + size_t{rows} * P_ + (feed_ ? escpos::kFeedSize : 0);
  }

  void WriteSlice(BYTE* record, DWORD firstRow, DWORD rows, SpoolSink& sink) {
    const DWORD width = work_.GetWidth();
    const DWORD height = work_.GetHeight();
    escpos::PutRasterHeader(record, P_, rows);
    BYTE* out = record + escpos::kRasterHeaderSize;
    // Rows go out top first: the image stores them bottom up.
    for (DWORD r = 0; r < rows; ++r, out += P_) PackRow(work_, height - 1 - (firstRow + r), width, P_, out);
    // The paper moves by the rows just printed, so that the next slice, of
    // this band or the next, prints right below them: a short last slice
    // followed by a full 24-row feed would leave a white gap in the page.
    if (feed_) escpos::PutFeed(out, static_cast<BYTE>(rows));
    sink.Write(record, static_cast<DWORD>(RecordSize(rows)));
  }

  LxImage& work_;
  DWORD P_;
  bool feed_;
  LocalBuffer full_, last_;
  bool ok_;
};

// Why a prepared band cannot be written, or kSent when it can.
BandOutcome CheckPrepared(const LxImage& work) {
  if (!work.IsValid() || work.GetBpp() != 1) return BandOutcome::kNoMemory;
  if (work.GetEffWidth() > escpos::kMaxRasterRowBytes) return BandOutcome::kTooWide;
  return BandOutcome::kSent;
}

}  // namespace

bool PreparedRowIsBlank(LxImage& work, DWORD row) {
  const DWORD width = work.GetWidth();
  const DWORD height = work.GetHeight();
  if (!work.IsValid() || work.GetBpp() != 1 || row >= height) return true;
  // Set bits are white; the bits past the last pixel do not count.
  const BYTE* bits = work.GetBits(height - 1 - row);
  for (DWORD b = 0; b < width / 8; ++b) {
    if (bits[b] != 0xFF) return false;
  }
  if (width % 8) {
    const BYTE used = static_cast<BYTE>(0xFF << (8 - width % 8));
    if ((bits[width / 8] & used) != used) return false;
  }
  return true;
}

BandOutcome EmitBandRows(LxImage& work, DWORD first, DWORD count, const BandJob& job, SpoolSink& sink) {
  const BandOutcome prepared = CheckPrepared(work);
  if (prepared != BandOutcome::kSent) return prepared;
  const DWORD height = work.GetHeight();
  if (first >= height || count == 0) return BandOutcome::kSent;
  if (count > height - first) count = height - first;
  SliceWriter writer(work, count, job.sliceFeed);
  if (!writer.ok()) return BandOutcome::kNoMemory;
  writer.Write(first, count, sink);
  return BandOutcome::kSent;
}

BandOutcome EmitBand(LxImage& work, const BandJob& job, SpoolSink& sink) {
  const BandOutcome prepared = CheckPrepared(work);
  if (prepared != BandOutcome::kSent) return prepared;
  const DWORD height = work.GetHeight();
  SliceWriter writer(work, height, job.sliceFeed);
  if (!writer.ok()) return BandOutcome::kNoMemory;

  const int copies = job.banding && job.copies > 1 ? job.copies : 1;
  for (int i = 0; i < copies; ++i) {
    writer.Write(0, height, sink);
    if (job.banding && i < job.copies - 1) {
      sink.Write(escpos::kFeedAndCut, sizeof(escpos::kFeedAndCut));
    }
  }
  return BandOutcome::kSent;
}

BandOutcome RenderBand(const BandInput& band, const BandJob& job, SpoolSink& sink) {
  LxImage work;
  const BandOutcome prepared = PrepareBand(band, job, work);
  if (prepared != BandOutcome::kSent) return prepared;
  return EmitBand(work, job, sink);
}
