// receipt_options.h: the printer application's job options, one row each:
// the IPP name, the values with their labels in English, Simplified and
// Traditional Chinese, the default, and how a value sets the job core's
// Options. Parsing, the vendor attributes and the web labels all read the
// rows. Beside them, the rules that turn a job's attributes into Options:
// the job's own values over the printer's defaults, the halftone "auto"
// picks, the finishings and the darkness.
#ifndef LORVEX_PRINTER_APP_RECEIPT_OPTIONS_H
#define LORVEX_PRINTER_APP_RECEIPT_OPTIONS_H

#include <functional>
#include <string>
#include <vector>

#include "page_encoder.h"

// A label in the three languages of the web pages.
struct Label {
  std::string english, simplified, traditional;
};

struct OptionValue {
  std::string keyword;
  Label label;
};

struct ReceiptOption {
  const char* name;  // the IPP attribute: "<name>", "<name>-default", "<name>-supported"
  Label label;
  std::vector<OptionValue> values;
  std::string defaultValue;
  // Sets the job core's options for `keyword`, one of `values`.
  void (*apply)(const std::string& keyword, receipt::Options& options);
};

// halftone, page-length, horizontal-offset, rotate-180, save-paper, cut,
// cash-drawer, slice-feed, job-pictures.
const std::vector<ReceiptOption>& ReceiptOptions();

// True when `keyword` is one of the option's values.
bool TakesValue(const ReceiptOption& option, const std::string& keyword);

// The job core's options from the attribute values `value(name)` gives (an
// empty or unknown value takes the option's default). A halftone of "auto"
// is left for the caller to resolve with AutoHalftone.
receipt::Options ParseReceiptOptions(const std::function<std::string(const char*)>& value);

// The halftone "auto" picks for a job's print-content-optimize keyword and
// print-quality (3 draft, 4 normal, 5 high): text is thresholded, so that
// its edges stay sharp; photos and graphics are error-diffused, photos in
// high quality with the wider Jarvis-Judice-Ninke kernel; "auto" and
// text-and-graphic take Floyd-Steinberg, which keeps black and white
// pixels as they are (text stays crisp) and prints grays as grays.
std::string AutoHalftone(const std::string& content, int quality);

// The darkness the job prints with, -100 to 100: the job's print-darkness
// (-100 to 100) moved by the printer's own darkness setting (0 to 100, 50
// neutral).
int JobDarkness(int printDarkness, int printerDarkness);

// What a job says of itself and what its printer is set to, as the
// application reads them from IPP.
struct JobRequest {
  // The job's own value of a vendor option, "" when it sent none.
  std::function<std::string(const char*)> jobValue;
  // The printer's "<name>-default" of a vendor option, "" when not set.
  std::function<std::string(const char*)> printerDefault;
  std::string content = "auto";  // print-content-optimize
  int quality = 4;               // print-quality
  bool finishingsSent = false;   // the job sent finishings or finishings-col
  bool finishingsTrim = false;   // ... and they ask for trim
  bool finishingsOnlyNone = false;  // ... and they are "none" alone
  std::string userAgent;         // the client's, as the job keeps it
  bool fullJobTemplate = false;  // the job carries multiple-document-handling,
                                 // as CUPS's backend sends with every job
  int printDarkness = 0;         // print-darkness, -100 to 100
  int printerDarkness = 50;      // the printer's own, 0 to 100
  unsigned lineDots = kLineDots;
  int copies = 1;
  int pages = 0;                 // pages a copy, 0 when not known
};

// The job core's options for a job.
//  - A vendor option takes the job's value, else the printer's default,
//    else the option's own default: PAPPL 1.3.1 never hands a printer
//    default of a vendor option to the driver, so it is read here.
//  - A halftone of "auto" is picked by AutoHalftone.
//  - finishings sent with the job: trim cuts (after each page, unless the
//    cut option says at the end of the job), none does not cut. Without
//    them the printer's finishings-default, trim, leaves the cut as it is.
//    A "none" alone from CUPS's backend (User-Agent "CUPS/..." and its
//    whole job template) counts as not sent: CUPS 2.4 sends it for every
//    job by default.
//  - At least one copy.
receipt::Options ResolveJobOptions(const JobRequest& request);

#endif  // LORVEX_PRINTER_APP_RECEIPT_OPTIONS_H
