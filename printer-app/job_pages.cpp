// job_pages.cpp: the page-and-copy loop.
#include "job_pages.h"

#include <vector>

bool PrintPages(PageSource& source, receipt::PageEncoder& encoder, JobControl& job, std::string* why) {
  why->clear();
  std::vector<uint8_t> line;
  for (unsigned page = 1;; ++page) {
    PageShape shape;
    const PageSource::Next next = source.NextPage(&shape, why);
    if (next == PageSource::Next::kEnd) break;
    if (next == PageSource::Next::kRefused) return false;
    if (!encoder.StartPage(shape.width, shape.left)) return *why = encoder.Error(), false;
    line.resize(shape.width);
    for (unsigned rows = 0; rows < shape.height; ++rows) {
      if (job.Canceled()) return false;
      const PageSource::Row row = source.ReadRow(line.data(), why);
      if (row == PageSource::Row::kFailed) return false;
      if (row == PageSource::Row::kEndedEarly) {
        if (!encoder.EndPage()) return *why = encoder.Error(), false;
        job.PageDone();
        *why = "The document ended early: page " + std::to_string(page) + " has " + std::to_string(rows) +
               " of its " + std::to_string(shape.height) + " rows.";
        return false;
      }
      if (!encoder.WriteLine(line.data())) return *why = encoder.Error(), false;
    }
    if (!encoder.EndPage()) return *why = encoder.Error(), false;
    job.PageDone();
  }
  if (!encoder.EndJob()) return *why = encoder.Error(), false;
  return true;
}
