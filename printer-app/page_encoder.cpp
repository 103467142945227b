// page_encoder.cpp: lines to bands to ESC/POS records.
#include "page_encoder.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "escpos.h"

namespace receipt {

namespace {

// The pipeline's records, straight to the printer's device.
class DeviceSpool : public SpoolSink {
 public:
  explicit DeviceSpool(ByteSink& out) : out_(out) {}
  void Write(const BYTE* data, DWORD size) override { ok_ = ok_ && out_.Write(data, size); }
  bool ok() const { return ok_; }

 private:
  ByteSink& out_;
  bool ok_ = true;
};

}  // namespace

std::vector<uint8_t> DarknessCurve(int darkness) {
  const double gamma = std::exp2(std::clamp(darkness, -100, 100) / 100.0);
  std::vector<uint8_t> curve(256);
  for (int v = 0; v < 256; ++v)
    curve[v] = static_cast<uint8_t>(std::lround(255.0 * std::pow(v / 255.0, gamma)));
  return curve;
}

std::vector<uint8_t> DrawerPulse(int pin) {
  std::vector<uint8_t> bytes(escpos::kDrawerPulseSize);
  escpos::PutDrawerPulse(bytes.data(), pin);
  return bytes;
}

PageEncoder::PageEncoder(const Options& options, ByteSink& sink) : options_(options), sink_(sink) {
  options_.bandHeight = std::clamp(options_.bandHeight, 24u, 4096u);
  job_.settings.offsetNumber = options_.offsetNumber;
  job_.settings.halfTurn = options_.rotate180;
  job_.settings.savePaper = options_.savePaper;
  job_.lineDots = std::clamp(static_cast<int32_t>(std::min(options_.lineDots, 1u << 16)), 8, kLineDots);
  options_.lineDots = static_cast<unsigned>(job_.lineDots);
  if (options_.darkness != 0) curve_ = DarknessCurve(options_.darkness);
  job_.halftone = options_.halftone.c_str();
  job_.landscape = false;
  job_.banding = false;  // copies are whole pages here, cut apart below
  job_.copies = 1;
  job_.sliceFeed = options_.sliceFeed;
}

PageEncoder::~PageEncoder() = default;

bool PageEncoder::Fail(const std::string& why) {
  if (!failed_) error_ = why;
  failed_ = true;
  return false;
}

bool PageEncoder::Send(const uint8_t* data, size_t size) {
  if (failed_) return false;
  if (!sink_.Write(data, size)) return Fail("the printer did not take the job's bytes");
  return true;
}

bool PageEncoder::StartPage(unsigned lineWidth, unsigned left) {
  if (failed_) return false;
  if (lineWidth == 0 || left >= lineWidth) return Fail("the page has no printable line");
  left_ = left;
  width_ = std::min(options_.lineDots, lineWidth - left);
  band_.assign(size_t{width_} * options_.bandHeight, 255);
  rows_ = 0;
  heldBands_.clear();
  carry_.Reset();
  blankRows_ = 0;
  printedOnPage_ = false;
  inPage_ = true;
  return true;
}

bool PageEncoder::WriteLine(const uint8_t* line) {
  if (failed_) return false;
  if (!inPage_) return Fail("a line outside a page");
  uint8_t* row = &band_[size_t{rows_} * width_];
  std::memcpy(row, line + left_, width_);
  if (!curve_.empty())
    for (unsigned x = 0; x < width_; ++x) row[x] = curve_[row[x]];
  if (++rows_ == options_.bandHeight) return FlushBand();
  return true;
}

bool PageEncoder::Feed(unsigned long long rows) {
  uint8_t feed[escpos::kFeedSize];
  for (; rows > 0; rows -= std::min(rows, 255ULL)) {
    escpos::PutFeed(feed, static_cast<BYTE>(std::min(rows, 255ULL)));
    if (!Send(feed, sizeof feed)) return false;
  }
  return true;
}

// Every white row goes out as paper feed, never as raster: the printed runs
// become records of their own, and a white run between two of them is a
// feed (ESC J, in steps of at most 255 dots), where a record header and its
// feed cost less than the white rows would as raster. That is every white
// row on a line wider than 88 dots; a narrower line keeps runs too short to
// pay for a record of their own. The paper moves exactly as far as the
// raster would have moved it.
bool PageEncoder::Emit(LxImage& work) {
  const DWORD height = work.GetHeight();
  const unsigned long long rowBytes = (work.GetWidth() + 7) / 8;
  constexpr unsigned long long kSplitCost = escpos::kRasterHeaderSize + escpos::kFeedSize;
  DWORD y = 0;
  while (y < height) {
    if (PreparedRowIsBlank(work, y)) {
      ++blankRows_;
      ++y;
      continue;
    }
    // The printed run: up to the last printed row before a white run worth
    // a record of its own, or before the band ends.
    DWORD end = y + 1, white = 0;
    for (DWORD r = end; r < height && white * rowBytes <= kSplitCost; ++r) {
      if (PreparedRowIsBlank(work, r)) {
        ++white;
      } else {
        end = r + 1;
        white = 0;
      }
    }
    // Above the first printed row of a fitted page only the margin.
    const unsigned long long before = printedOnPage_ || !options_.fitPaperToContent
                                          ? blankRows_
                                          : std::min<unsigned long long>(blankRows_, kBlankMarginRows);
    if (!Feed(before)) return false;
    blankRows_ = 0;
    printedOnPage_ = printedInJob_ = true;
    DeviceSpool spool(sink_);
    const BandOutcome outcome = EmitBandRows(work, y, end - y, job_, spool);
    if (!Sent(outcome, spool.ok())) return false;
    y = end;
  }
  return true;
}

bool PageEncoder::Sent(BandOutcome outcome, bool deviceTookAll) {
  if (outcome != BandOutcome::kSent) return Fail("a band could not be sent (out of memory)");
  if (!deviceTookAll) return Fail("the printer did not take the job's bytes");
  return true;
}

bool PageEncoder::FlushBand() {
  if (rows_ == 0) return true;
  const BandInput input{band_.data(), width_, rows_, width_};
  auto work = std::make_unique<LxImage>(0);
  const BandOutcome prepared = PrepareBandCarrying(input, job_, *work, carry_);
  rows_ = 0;
  if (prepared != BandOutcome::kSent) return Fail("a band could not be halftoned (out of memory)");
  if (options_.rotate180) {
    // The page comes out last band first: hold the 1-bit band until then.
    heldBands_.push_back(std::move(work));
    return true;
  }
  return Emit(*work);
}

bool PageEncoder::EndPage() {
  if (failed_) return false;
  if (!inPage_) return Fail("a page end outside a page");
  if (!FlushBand()) return false;
  for (auto it = heldBands_.rbegin(); it != heldBands_.rend(); ++it)
    if (!Emit(**it)) return false;
  heldBands_.clear();
  inPage_ = false;
  ++pagesDone_;
  if (options_.fitPaperToContent) {
    // Below the last printed row only the margin; a page with nothing
    // printed on it is not cut off the roll either.
    if (!printedOnPage_) return true;
    if (!Feed(std::min<unsigned long long>(blankRows_, kBlankMarginRows))) return false;
  } else if (!Feed(blankRows_)) {
    return false;
  }
  blankRows_ = 0;
  const bool copyEnds = options_.pagesPerCopy != 0 && pagesDone_ % options_.pagesPerCopy == 0 &&
                        pagesDone_ < options_.pagesPerCopy * options_.copies;
  // A cut after each page; with a cut at the end of the job, copies are
  // still cut apart, as the Windows driver cuts between copies.
  if (options_.cut == Cut::kEachPage || (options_.cut == Cut::kEndOfJob && copyEnds))
    return Send(escpos::kFeedAndCut, sizeof escpos::kFeedAndCut);
  return true;
}

bool PageEncoder::EndJob() {
  if (failed_) return false;
  if (inPage_ && !EndPage()) return false;
  // With the paper fitted to the content, a job that printed nothing is not
  // cut off the roll either.
  const bool printed = pagesDone_ > 0 && (printedInJob_ || !options_.fitPaperToContent);
  if (options_.cut == Cut::kEndOfJob && printed && !Send(escpos::kFeedAndCut, sizeof escpos::kFeedAndCut))
    return false;
  if (options_.drawerPin == 2 || options_.drawerPin == 5) {
    const std::vector<uint8_t> pulse = DrawerPulse(options_.drawerPin);
    return Send(pulse.data(), pulse.size());
  }
  return true;
}

}  // namespace receipt
