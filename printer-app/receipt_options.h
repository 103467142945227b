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

#endif  // LORVEX_PRINTER_APP_RECEIPT_OPTIONS_H
