// page_encoder.h: a print job's pages, line by line, to the ESC/POS bytes
// of the band pipeline, as the printer application hands them over.
//
// Each page arrives as lines of 8-bit gray (255 white), as wide as the page;
// the printer's line (576 dots on 80 mm paper, 384 on 58 mm) is taken from
// the printable box's left edge, and a darkness other than 0 bends the
// grays before the halftone. Lines are collected into bands, and every full
// band goes through the same PrepareBand as the Windows plug-in; its printed
// rows go out as the plug-in's raster records, written to the device as
// they are made, and its white rows as paper feeds, which cost 3 bytes where
// a raster row costs 72. Turned upside down, a page is held only as its
// halftoned 1-bit bands and sent last band first when it ends.
#ifndef LORVEX_PRINTER_APP_PAGE_ENCODER_H
#define LORVEX_PRINTER_APP_PAGE_ENCODER_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "band_pipeline.h"
#include "paper.h"

namespace receipt {

// White rows kept above the first printed row and below the last one of a
// page when its blank paper is left out: 3 mm, a slice.
constexpr unsigned kBlankMarginRows = kSliceRows;

enum class Cut { kNone, kEachPage, kEndOfJob };

// A job's settings, with the driver's names and numbers.
struct Options {
  std::string halftone = HalftoneOptionName(0);  // one of the driver's eight names
  int32_t offsetNumber = 0;          // "P12" -> 12, "M12" -> -12
  bool rotate180 = false;            // the whole page upside down
  int savePaper = kSaveNone;         // trims each band's white top/bottom
  Cut cut = Cut::kEachPage;
  int drawerPin = 0;                 // 0, 2 or 5: pulsed at the end of the job
  bool sliceFeed = true;             // ESC J 24 after every raster slice
  unsigned bandHeight = 240;         // rows per band, 24 to 4096
  unsigned copies = 1;               // cut apart unless cut is kNone
  unsigned pagesPerCopy = 0;         // 0: unknown, copies are not cut apart
  unsigned lineDots = kLineDots;     // dots on the printer's line, 8 to 576
  // The page takes the paper its print needs: white rows above the first
  // printed row and below the last are left out but for a margin. A page
  // with no dot uses no paper.
  bool fitPaperToContent = false;
  int darkness = 0;                  // -100 (lighter) to 100 (darker)
  // Not the encoder's: the application keeps a picture of what the job
  // printed.
  bool keepPicture = true;
};

// The tone curve of a darkness from -100 to 100 (clamped): gray v becomes
// 255 * (v / 255)^(2^(darkness / 100)), so white and black stay and 100
// takes a middle gray from half to a quarter of white.
std::vector<uint8_t> DarknessCurve(int darkness);

// Where the bytes go. False when the device took fewer than asked.
class ByteSink {
 public:
  virtual ~ByteSink() = default;
  virtual bool Write(const uint8_t* data, size_t size) = 0;
};

// Encodes one job's pages for the printer, writing the bytes to `sink` as
// they are made. Once a step has failed, every later one answers false.
class PageEncoder {
 public:
  PageEncoder(const Options& options, ByteSink& sink);
  PageEncoder(const PageEncoder&) = delete;
  PageEncoder& operator=(const PageEncoder&) = delete;
  ~PageEncoder();

  // A page of `lineWidth` dots per line; the printable box starts `left` dots
  // in. False (with Error()) for a width of 0 or a box outside the line.
  bool StartPage(unsigned lineWidth, unsigned left);
  // One line of lineWidth bytes. False when the band could not be made or
  // the device refused its bytes; nothing more is sent then.
  bool WriteLine(const uint8_t* line);
  // Sends what is left of the page (all of it when upside down), then the
  // page's cut.
  bool EndPage();
  // The job's last cut and the drawer pulse.
  bool EndJob();

  const std::string& Error() const { return error_; }
  unsigned PagesDone() const { return pagesDone_; }

 private:
  bool Fail(const std::string& why);
  bool FlushBand();
  bool Emit(LxImage& work);
  bool Feed(unsigned long long rows);
  bool Send(const uint8_t* data, size_t size);
  bool Sent(BandOutcome outcome, bool deviceTookAll);

  Options options_;
  ByteSink& sink_;
  std::string error_;
  BandJob job_{};
  unsigned left_ = 0, width_ = 0;
  std::vector<uint8_t> band_;  // bandHeight rows of width_ bytes
  unsigned rows_ = 0;          // rows collected in band_
  bool inPage_ = false;
  bool failed_ = false;
  unsigned pagesDone_ = 0;
  DiffusionCarry carry_;  // error diffusion going on into the next band
  std::vector<std::unique_ptr<LxImage>> heldBands_;  // upside down: 1-bit bands of the page
  std::vector<uint8_t> curve_;  // the darkness's tone curve, empty at 0
  // White rows met since the last printed row (or the top of the page),
  // counted and never held: they go out as one feed.
  unsigned long long blankRows_ = 0;
  bool printedOnPage_ = false;
  bool printedInJob_ = false;
};

// The bytes sent at the end of a job for a drawer on `pin` (2 or 5): ESC p.
std::vector<uint8_t> DrawerPulse(int pin);

}  // namespace receipt

#endif  // LORVEX_PRINTER_APP_PAGE_ENCODER_H
