// receipt_options.h: the printer application's job options: their IPP
// names, values and defaults, and how a job's values become the job core's
// Options; and where the 576-dot line lies in a page line.
#ifndef LORVEX_PRINTER_APP_RECEIPT_OPTIONS_H
#define LORVEX_PRINTER_APP_RECEIPT_OPTIONS_H

#include <functional>
#include <string>
#include <vector>

#include "receipt_printer.h"

// One vendor job attribute: its keyword values, the default first.
struct VendorOption {
  const char* name;
  std::vector<std::string> values;
};

// halftone, page-length, horizontal-offset, rotate-180, save-paper, cut,
// cash-drawer, slice-feed.
const std::vector<VendorOption>& ReceiptVendorOptions();

// The halftone "auto" picks for a job's print-content-optimize keyword and
// print-quality (3 draft, 4 normal, 5 high): text is thresholded, so that
// its edges stay sharp; photos and graphics are error-diffused, photos in
// high quality with the wider Jarvis-Judice-Ninke kernel; "auto" and
// text-and-graphic take Floyd-Steinberg, which keeps black and white
// pixels as they are (text stays crisp) and prints grays as grays.
std::string AutoHalftone(const std::string& content, int quality);

// The job core's options from the attribute values `value(name)` gives (an
// empty or unknown value takes the option's default). A halftone of "auto"
// is left for the caller to resolve with AutoHalftone.
receipt::Options ParseReceiptOptions(const std::function<std::string(const char*)>& value);

// The darkness the job prints with, -100 to 100: the job's print-darkness
// (-100 to 100) moved by the printer's own darkness setting (0 to 100, 50
// neutral).
int JobDarkness(int printDarkness, int printerDarkness);

// The first dot of the printable line in a page line `width` dots wide whose
// imaging box starts `bboxLeftPoints` points in, at `dpi`. A page without a
// box (0) has the printer's line of `lineDots` dots centred in it.
unsigned PrintableLeft(unsigned width, unsigned bboxLeftPoints, unsigned dpi, unsigned lineDots = receipt::kLineDots);

// What a document may be before any of it is decoded or sent. The longest
// roll the printer advertises is 1000 mm; at 203 dpi that is 7992 dot rows.
constexpr unsigned kMaxRollMillimetres = 1000;
constexpr unsigned kMaxPageRows = kMaxRollMillimetres * 203 * 10 / 254;
constexpr unsigned long long kMaxImagePixels = 50000000ULL;  // a 48 MP photo passes

// How long a page `height` rows tall prints at `rowsPerInch`, in whole
// millimetres rounded up (0 for 0 rows per inch).
unsigned long long PageMillimetres(unsigned long long height, unsigned rowsPerInch);

// Empty when an image of width x height pixels may be printed (wider than
// the line of `lineDots`, it is scaled down to it); otherwise why not, one
// sentence.
std::string RefuseImageSize(unsigned width, unsigned height, unsigned lineDots = receipt::kLineDots);

// Empty when a raster page height rows tall at rowsPerInch fits the longest
// roll; otherwise why not.
std::string RefusePageLength(unsigned height, unsigned rowsPerInch);

// The MIME type of an image by its first bytes: image/png, image/jpeg,
// image/gif, image/bmp, image/x-portable-anymap, or empty when unknown.
std::string ImageTypeOf(const unsigned char* head, size_t size);

#endif  // LORVEX_PRINTER_APP_RECEIPT_OPTIONS_H
