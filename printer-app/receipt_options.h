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

// halftone, horizontal-offset, rotate-180, save-paper, cut, cash-drawer,
// slice-feed.
const std::vector<VendorOption>& ReceiptVendorOptions();

// The job core's options from the attribute values `value(name)` gives (an
// empty or unknown value takes the option's default).
receipt::Options ParseReceiptOptions(const std::function<std::string(const char*)>& value);

// The first dot of the printable line in a page line `width` dots wide whose
// imaging box starts `bboxLeftPoints` points in, at `dpi`. A page without a
// box (0) has the 576-dot line centred in it.
unsigned PrintableLeft(unsigned width, unsigned bboxLeftPoints, unsigned dpi);

// What a document may be before any of it is decoded or sent. The longest
// roll the printer advertises is 1000 mm; at 203 dpi that is 7992 dot rows.
constexpr unsigned kMaxRollMillimetres = 1000;
constexpr unsigned kMaxPageRows = kMaxRollMillimetres * 203 * 10 / 254;
constexpr unsigned long long kMaxImagePixels = 50000000ULL;  // a 48 MP photo passes

// How long a page `height` rows tall prints at `rowsPerInch`, in whole
// millimetres rounded up (0 for 0 rows per inch).
unsigned long long PageMillimetres(unsigned long long height, unsigned rowsPerInch);

// Empty when an image of width x height pixels may be printed (wider than
// the line, it is scaled down to it); otherwise why not, one sentence.
std::string RefuseImageSize(unsigned width, unsigned height);

// Empty when a raster page height rows tall at rowsPerInch fits the longest
// roll; otherwise why not.
std::string RefusePageLength(unsigned height, unsigned rowsPerInch);

// The MIME type of an image by its first bytes: image/png, image/jpeg,
// image/gif, image/bmp, image/x-portable-anymap, or empty when unknown.
std::string ImageTypeOf(const unsigned char* head, size_t size);

#endif  // LORVEX_PRINTER_APP_RECEIPT_OPTIONS_H
