// band_pipeline.h: one gray band from the raster host to ESC/POS records.
//
// The pure core of the plug-in's band processing: the band, the job's
// settings and the copy count go in, spool writes come out. Nothing here
// talks to the host; band_host.h unpacks the host's arguments and hands the
// writes on.
#ifndef LORVEX_CORE_BAND_PIPELINE_H
#define LORVEX_CORE_BAND_PIPELINE_H

#include <cstdint>
#include <vector>

#include "lximage.h"
#include "paper.h"

// Rows per raster record, and the feed that follows every record.
constexpr uint32_t kSliceRows = 24;

// Save-paper modes: which white rows a band loses.
enum SavePaperMode : int { kSaveNone = 0, kSaveTop = 1, kSaveBottom = 2, kSaveTopAndBottom = 3 };

// The job's settings, read afresh for every band.
struct BandSettings {
  int32_t offsetNumber = 0;  // "HorizontalOffset": P12 gives 12, M12 gives -12
  bool halfTurn = false;     // "Translate180" is "TRANS_180"
  int savePaper = kSaveNone; // "SavePaperMode"
};

// Option texts to settings. Null reads as an empty text.
//  - offset: the number after the first "P", else minus the number after the
//    first "M", else 0; the number is read as atoi does, saturated to 32 bits.
int32_t ParseHorizontalOffset(const char* text);
bool ParseTranslate180(const char* text);
int ParseSavePaperMode(const char* text);
// The offset in dots, 8n/10 truncated toward zero.
int32_t OffsetDots(int32_t n);

// How a halftone option name is applied: Threshold(180), or Dither(method).
// Unknown names, and none, take the threshold, so that the printer never
// receives 8-bit rows as raster data.
struct Halftone {
  bool threshold;
  long method;
};
Halftone HalftoneFor(const char* name);
// The eight option names, in the order the host's option list gives them;
// null outside 0 to kHalftoneOptions - 1.
enum HalftoneOption : int {
  kHalftoneThreshold,
  kHalftoneOrdered,
  kHalftoneBurkes,
  kHalftoneStucki,
  kHalftoneFloydSteinberg,
  kHalftoneJarvisJudiceNinke,
  kHalftoneSierra,
  kHalftoneStevensonArce,
  kHalftoneOptions
};
const char* HalftoneOptionName(int index);
// The place of an option name in that list, or -1 when it is none of them.
int HalftoneIndexOf(const char* name);

// The host's band: `height` rows of 8-bit gray (255 white), first row first,
// `rowBytes` apart, each holding at least `width` pixels.
struct BandInput {
  const BYTE* rows;
  DWORD width;
  DWORD height;
  DWORD rowBytes;
};

struct BandJob {
  BandSettings settings;
  int32_t lineDots = kLineDots;  // the printer's line: an offset band is laid onto it
  const char* halftone = nullptr;  // option name, may be null
  bool landscape = false;  // the public devmode asks for landscape
  bool banding = false;    // the host renders the page in bands: copies and cuts
  int copies = 1;          // the device context's copy count
  // Each raster slice is followed by a feed of its own rows (ESC J), for
  // printers whose GS v 0 does not move the paper: the driver's records.
  // Off for printers whose raster command moves the paper by itself.
  bool sliceFeed = true;
};

// Receives the spool writes of a band, in order.
class SpoolSink {
 public:
  virtual ~SpoolSink() = default;
  virtual void Write(const BYTE* data, DWORD size) = 0;
};

enum class BandOutcome {
  kSent,       // every record written
  kNoBand,     // no rows, no columns, rows shorter than the width: nothing written
  kNoMemory,   // an image or record buffer could not be had: nothing written
  kTooWide,    // rows wider than a raster record can say: nothing written
};

// Turns, shifts, trims and halftones the band into `work`, a 1-bit image in
// stored row order whose set bits are white. kSent when `work` holds it.
BandOutcome PrepareBand(const BandInput& band, const BandJob& job, LxImage& work);

// Error diffusion carried from one band of a page to the next: what the
// rows below a band got from it, as differences from their own gray. Reset
// at the start of each page.
struct DiffusionCarry {
  static constexpr DWORD kRows = 3;  // the deepest kernel's reach
  DWORD width = 0;                   // 0: nothing carried
  std::vector<int16_t> delta;        // kRows rows of `width`
  void Reset() { width = 0; }
};

// PrepareBand for bands that follow each other down a page (the printer
// application's): the error diffusion walks each band from its top row and
// goes on into the next through `carry`, so that no seam shows where bands
// meet. Without trimming only; a trimmed band starts afresh.
BandOutcome PrepareBandCarrying(const BandInput& band, const BandJob& job, LxImage& work, DiffusionCarry& carry);

// Writes a prepared band: raster records of at most 24 rows, each followed by
// a feed of its own rows (ESC J 24 for a full slice, ESC J r after a short
// last slice of r rows) unless the job says otherwise, once per copy when
// banding, with a cut between copies. All record memory is had before the
// first write.
BandOutcome EmitBand(LxImage& work, const BandJob& job, SpoolSink& sink);

// True when row `row` of a prepared band, counted from the top, burns no
// dot.
bool PreparedRowIsBlank(LxImage& work, DWORD row);

// Writes rows [first, first + count) of a prepared band, counted from the
// top, as EmitBand writes one copy of a band: records of at most 24 rows,
// each with the job's slice feed. Nothing is written for rows outside the
// band.
BandOutcome EmitBandRows(LxImage& work, DWORD first, DWORD count, const BandJob& job, SpoolSink& sink);

// PrepareBand, then EmitBand.
BandOutcome RenderBand(const BandInput& band, const BandJob& job, SpoolSink& sink);

#endif  // LORVEX_CORE_BAND_PIPELINE_H
