// document_limits.h: what a document may be before any of it is decoded or
// sent, each refusal one sentence for the job's message: images by their
// first bytes and their size, raster pages by their header, ESC/POS
// documents by the grammar; and where the printer's line lies in a page
// line.
#ifndef LORVEX_PRINTER_APP_DOCUMENT_LIMITS_H
#define LORVEX_PRINTER_APP_DOCUMENT_LIMITS_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "paper.h"

// The longest roll the printer advertises is 1000 mm; at 203 dpi that is
// 7992 dot rows.
constexpr unsigned kMaxRollMillimetres = 1000;
constexpr unsigned kMaxPageRows = DotRowsOf(kMaxRollMillimetres);
constexpr unsigned long long kMaxImagePixels = 50000000ULL;  // a 48 MP photo passes
// The widest and longest raster page a client may send.
constexpr unsigned kMaxRasterWidth = 20000;
constexpr unsigned kMaxRasterHeight = 1000000;
// An ESC/POS document is read whole before it is checked; a larger one is
// refused, never sent cut short.
constexpr size_t kMaxRawDocument = size_t{64} << 20;

// How long a page `height` rows tall prints at `rowsPerInch`, in whole
// millimetres rounded up (0 for 0 rows per inch).
unsigned long long PageMillimetres(unsigned long long height, unsigned rowsPerInch);

// Empty when an image of width x height pixels may be printed (wider than
// the line of `lineDots`, it is scaled down to it); otherwise why not.
std::string RefuseImageSize(unsigned width, unsigned height, unsigned lineDots = kLineDots);

// Empty when a raster page height rows tall at rowsPerInch fits the longest
// roll; otherwise why not.
std::string RefusePageLength(unsigned height, unsigned rowsPerInch);

// The MIME type of an image by its first bytes: image/png, image/jpeg,
// image/gif, image/bmp, image/x-portable-anymap, or empty when unknown.
std::string ImageTypeOf(const unsigned char* head, size_t size);

// The first dot of the printable line in a page line `width` dots wide whose
// imaging box starts `bboxLeftPoints` points in, at `dpi`. A page without a
// box (0) has the printer's line of `lineDots` dots centred in it.
unsigned PrintableLeft(unsigned width, unsigned bboxLeftPoints, unsigned dpi, unsigned lineDots = kLineDots);

// A client's raster page header, as far as the printer cares.
struct RasterHeader {
  enum Space { kWhite, kBlack, kOther } space = kOther;  // sGray and W: 0 black; K: 0 white
  unsigned bitsPerPixel = 0, bitsPerColor = 0, colors = 0;
  unsigned width = 0, height = 0, bytesPerLine = 0;
  unsigned xDpi = 0, yDpi = 0;    // 0: not said
  unsigned bboxLeftPoints = 0;    // the imaging box's left edge
};

// How one raster page's lines are printed.
struct RasterPage {
  unsigned width = 0, height = 0, left = 0;
  bool black = false;  // device black: 0 is white
};

// Checks page `page` (from 1) of a raster document for the line of
// `lineDots`: 8-bit gray is all we advertise, anything else would print as
// garbage, and a page longer than the roll is refused before a row of it is
// sent. Empty, with `out` set, when the page can be printed.
std::string CheckRasterPage(const RasterHeader& h, unsigned page, unsigned lineDots, RasterPage* out);

// Empty when an ESC/POS document of `size` bytes is one the printer takes
// whole (escpos_grammar.h: every command framed); otherwise the job's
// message, naming the offset and the bytes. With `toSend`, the same walk
// also makes the bytes that go to the printer (escpos::PassThrough: the
// commands the printer answers on the line taken out, `removed` of them).
std::string CheckRawDocument(const uint8_t* data, size_t size, std::string* toSend = nullptr,
                             size_t* removed = nullptr);

#endif  // LORVEX_PRINTER_APP_DOCUMENT_LIMITS_H
