// job_pages.h: a document's pages, row by row, through the page encoder:
// the one page-and-copy loop of every document the printer application
// prints, apart from the device and from PAPPL.
#ifndef LORVEX_PRINTER_APP_JOB_PAGES_H
#define LORVEX_PRINTER_APP_JOB_PAGES_H

#include <cstdint>
#include <string>

#include "page_encoder.h"

// One page as the document gives it: lines `width` bytes of 8-bit gray (255
// white), `height` of them; the printable line starts `left` dots in.
struct PageShape {
  unsigned width = 0, height = 0, left = 0;
};

// What a document's pages are read from.
class PageSource {
 public:
  virtual ~PageSource() = default;
  enum class Next { kPage, kEnd, kRefused };
  // Opens the next page; kRefused, with `why`, when it cannot be printed.
  virtual Next NextPage(PageShape* page, std::string* why) = 0;
  enum class Row { kRow, kEndedEarly, kFailed };
  // Reads the next row of the page into `row` (width bytes). kEndedEarly:
  // the document has no more rows, and those that came are printed;
  // kFailed, with `why`: nothing more of the job is printed.
  virtual Row ReadRow(uint8_t* row, std::string* why) = 0;
};

// What the loop asks of the job around it.
class JobControl {
 public:
  virtual ~JobControl() = default;
  virtual bool Canceled() = 0;
  virtual void PageDone() = 0;
};

// Prints every page of `source` and ends the job. False when it did not
// print whole: cancelled (`why` empty), refused or failed (`why` the job's
// message; the page that ended early is on paper before it says so).
bool PrintPages(PageSource& source, receipt::PageEncoder& encoder, JobControl& job, std::string* why);

#endif  // LORVEX_PRINTER_APP_JOB_PAGES_H
