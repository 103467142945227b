// document_filters.cpp: the document callbacks, over the job core.
#include "document_filters.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "document_limits.h"
#include "image_rows.h"
#include "job_pages.h"
#include "pappl_link.h"
#include "pappl_pictures.h"
#include "printer_models.h"
#include "receipt_options.h"

namespace {

bool Failed(pappl_job_t* job, const std::string& why) {
  papplJobSetMessage(job, "%s", why.c_str());
  papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "%s", why.c_str());
  return false;
}

// The print-content-optimize keyword of PAPPL's value.
const char* ContentKeyword(pappl_content_t content) {
  switch (content) {
    case PAPPL_CONTENT_GRAPHIC: return "graphic";
    case PAPPL_CONTENT_PHOTO: return "photo";
    case PAPPL_CONTENT_TEXT: return "text";
    case PAPPL_CONTENT_TEXT_AND_GRAPHIC: return "text-and-graphic";
    default: return "auto";
  }
}

unsigned LineDotsOf(pappl_job_t* job) {
  const PrinterModel* model = ModelOfDriver(papplPrinterGetDriverName(papplJobGetPrinter(job)));
  return model ? model->lineDots : kLineDots;
}

// The job's settings for a document of `pages` pages (0: not known): what
// PAPPL says of the job, with the printer's driver attributes for the
// defaults of our vendor options.
receipt::Options JobOptions(pappl_job_t* job, unsigned pages) {
  pappl_pr_options_t* options = papplJobCreatePrintOptions(job, pages, false);
  if (options == nullptr) return receipt::Options();
  ipp_t* defaults = papplPrinterGetDriverAttributes(papplJobGetPrinter(job));
  JobRequest request;
  request.jobValue = [&](const char* name) {
    const char* v = cupsGetOption(name, options->num_vendor, options->vendor);
    return std::string(v ? v : "");
  };
  request.printerDefault = [&](const char* name) {
    const std::string key = std::string(name) + "-default";
    ipp_attribute_t* attr = defaults ? ippFindAttribute(defaults, key.c_str(), IPP_TAG_ZERO) : nullptr;
    const char* v = attr ? ippGetString(attr, 0, nullptr) : nullptr;
    return std::string(v ? v : "");
  };
  request.content = ContentKeyword(options->print_content_optimize);
  request.quality = static_cast<int>(options->print_quality);
  request.finishingsSent = papplJobGetAttribute(job, "finishings") || papplJobGetAttribute(job, "finishings-col");
  request.finishingsTrim = options->finishings & PAPPL_FINISHINGS_TRIM;
  if (ipp_attribute_t* finishings = papplJobGetAttribute(job, "finishings")) {
    request.finishingsOnlyNone = ippGetCount(finishings) > 0;
    for (int i = 0; i < ippGetCount(finishings); ++i)
      if (ippGetInteger(finishings, i) != IPP_FINISHINGS_NONE) request.finishingsOnlyNone = false;
  }
  request.fullJobTemplate = papplJobGetAttribute(job, "multiple-document-handling") != nullptr;
  if (ipp_attribute_t* agent = papplJobGetAttribute(job, "job-originating-user-agent"))
    request.userAgent = ippGetString(agent, 0, nullptr) ? ippGetString(agent, 0, nullptr) : "";
  request.printDarkness = options->print_darkness;
  request.printerDarkness = options->darkness_configured;
  request.lineDots = LineDotsOf(job);
  request.copies = options->copies;
  request.pages = options->num_pages;
  const receipt::Options o = ResolveJobOptions(request);
  ippDelete(defaults);
  papplJobDeletePrintOptions(options);
  return o;
}

class PapplJob : public JobControl {
 public:
  explicit PapplJob(pappl_job_t* job) : job_(job) {}
  bool Canceled() override { return receipt::JobStopped(job_); }
  void PageDone() override { papplJobSetImpressionsCompleted(job_, 1); }

 private:
  pappl_job_t* job_;
};

// Prints one job on the device PAPPL opened for it: waits while the printer
// cannot print, lets `body` send the job's bytes through the link (false
// with `why`), and ends only once the printer has confirmed them.
template <typename Body>
bool PrintOn(pappl_job_t* job, pappl_device_t* device, const receipt::Options& options, Body body) {
  if (device == nullptr) return Failed(job, "The job has no printer device.");
  receipt::PapplDevice wire(device);
  // What goes to the device is also what the job's picture is drawn from.
  receipt::PictureTap port(job, options, wire);
  receipt::PapplLinkJob linkJob(job);
  receipt::JobLink link(port, linkJob);
  if (!link.WaitUntilReady()) return false;
  std::string why;
  if (!body(link, &why)) {
    if (link.Broken()) return Failed(job, link.BrokenMessage());
    return why.empty() ? false : Failed(job, why);
  }
  if (!link.Confirm(&why)) {
    // A stop of the server is no fault of the job's: it is queued again.
    if (papplSystemIsShutdown(papplPrinterGetSystem(papplJobGetPrinter(job)))) return false;
    return Failed(job, why);
  }
  papplJobSetMessage(job, "Printed.");
  return true;
}

// The pages of a PWG or Apple raster document, as they stream in.
class RasterPages : public PageSource {
 public:
  RasterPages(cups_raster_t* raster, const cups_page_header2_t& first, unsigned lineDots)
      : raster_(raster), header_(first), lineDots_(lineDots) {}

  Next NextPage(PageShape* page, std::string* why) override {
    if (!first_ && !cupsRasterReadHeader2(raster_, &header_)) return Next::kEnd;
    first_ = false;
    ++number_;
    RasterHeader h;
    const bool gray = header_.cupsColorSpace == CUPS_CSPACE_SW || header_.cupsColorSpace == CUPS_CSPACE_W;
    h.space = gray ? RasterHeader::kWhite : header_.cupsColorSpace == CUPS_CSPACE_K ? RasterHeader::kBlack
                                                                                    : RasterHeader::kOther;
    h.bitsPerPixel = header_.cupsBitsPerPixel;
    h.bitsPerColor = header_.cupsBitsPerColor;
    h.colors = header_.cupsNumColors;
    h.width = header_.cupsWidth;
    h.height = header_.cupsHeight;
    h.bytesPerLine = header_.cupsBytesPerLine;
    h.xDpi = header_.HWResolution[0];
    h.yDpi = header_.HWResolution[1];
    h.bboxLeftPoints = header_.cupsImagingBBox[0];
    *why = CheckRasterPage(h, number_, lineDots_, &page_);
    if (!why->empty()) return Next::kRefused;
    *page = {page_.width, page_.height, page_.left};
    return Next::kPage;
  }

  Row ReadRow(uint8_t* row, std::string*) override {
    if (cupsRasterReadPixels(raster_, row, page_.width) != page_.width) return Row::kEndedEarly;
    if (page_.black)
      for (unsigned x = 0; x < page_.width; ++x) row[x] = static_cast<uint8_t>(255 - row[x]);
    return Row::kRow;
  }

 private:
  cups_raster_t* raster_;
  cups_page_header2_t header_;
  unsigned lineDots_;
  bool first_ = true;
  unsigned number_ = 0;
  RasterPage page_;
};

// Opens the job's PNG or JPEG for row-by-row reading, after checking it by
// its own first bytes and its header's size: nothing else is decoded. Null
// with `why` when it cannot be printed.
std::unique_ptr<GrayRows> OpenJobImage(pappl_job_t* job, std::string* why) {
  const char* path = papplJobGetFilename(job);
  const char* label = papplJobGetFormat(job);
  if (path == nullptr || label == nullptr) {
    *why = "The job has no document to print.";
    return nullptr;
  }
  unsigned char head[16] = {};
  size_t n = 0;
  if (FILE* f = fopen(path, "rb")) {
    n = fread(head, 1, sizeof head, f);
    fclose(f);
  }
  const std::string type = ImageTypeOf(head, n);
  if (type != label) {
    *why = std::string("The document sent as ") + label + " is " +
           (type.empty() ? std::string("not an image this printer knows") : type) +
           "; only PNG and JPEG images are printed, each sent as what it is.";
    return nullptr;
  }
  std::unique_ptr<GrayRows> rows = OpenGrayRows(path, why);
  if (!rows) {
    *why = "The image cannot be printed: " + *why + ".";
    return nullptr;
  }
  *why = RefuseImageSize(rows->Width(), rows->Height(), LineDotsOf(job));
  return why->empty() ? std::move(rows) : nullptr;
}

// The image once per copy, each copy read afresh, scaled down to the line.
class ImageCopies : public PageSource {
 public:
  ImageCopies(pappl_job_t* job, unsigned copies, unsigned lineDots) : job_(job), copies_(copies), lineDots_(lineDots) {}

  Next NextPage(PageShape* page, std::string* why) override {
    if (done_ == copies_) return Next::kEnd;
    ++done_;
    rows_ = ScaleDownTo(OpenJobImage(job_, why), lineDots_);
    if (!rows_) return Next::kRefused;
    *page = {rows_->Width(), rows_->Height(), 0};
    return Next::kPage;
  }

  Row ReadRow(uint8_t* row, std::string* why) override {
    if (rows_->Next(row)) return Row::kRow;
    *why = "The image cannot be printed: " + rows_->Error() + ".";
    return Row::kFailed;
  }

 private:
  pappl_job_t* job_;
  unsigned copies_, lineDots_, done_ = 0;
  std::unique_ptr<GrayRows> rows_;
};

}  // namespace

// PWG and Apple raster, spooled like every other document, read page by
// page and row by row into the job core. The rows that came are on paper
// as whole records; a page that ends early ends the job, saying so.
bool RasterFilterCallback(pappl_job_t* job, pappl_device_t* device, void*) {
  const char* path = papplJobGetFilename(job);
  const int fd = path ? open(path, O_RDONLY) : -1;
  if (fd < 0) return Failed(job, "The document cannot be read.");
  cups_raster_t* raster = cupsRasterOpen(fd, CUPS_RASTER_READ);
  cups_page_header2_t header;
  bool ok = false;
  if (raster == nullptr || !cupsRasterReadHeader2(raster, &header)) {
    Failed(job, "The document is not PWG or Apple raster.");
  } else {
    const receipt::Options options = JobOptions(job, header.cupsInteger[CUPS_RASTER_PWG_TotalPageCount]);
    ok = PrintOn(job, device, options, [&](receipt::JobLink& link, std::string* why) {
      receipt::PageEncoder encoder(options, link);
      RasterPages pages(raster, header, options.lineDots);
      PapplJob control(job);
      return PrintPages(pages, encoder, control, why);
    });
  }
  if (raster) cupsRasterClose(raster);
  close(fd);
  return ok;
}

// PNG and JPEG, read row by row with our own decoders, straight into the
// job core: PAPPL 1.3.1's own PNG reader loops forever on a truncated or
// oversized file. The whole image is decoded once without output first, so
// a damaged one prints nothing; memory stays that of a few rows.
bool ImageFilterCallback(pappl_job_t* job, pappl_device_t* device, void*) {
  {
    std::string why;
    std::unique_ptr<GrayRows> rows = OpenJobImage(job, &why);
    if (!rows) return Failed(job, why);
    std::vector<uint8_t> line(rows->Width());
    for (unsigned y = 0; y < rows->Height(); ++y) {
      if (receipt::JobStopped(job)) return false;
      if (!rows->Next(line.data())) return Failed(job, "The image cannot be printed: " + rows->Error() + ".");
    }
  }
  const receipt::Options options = JobOptions(job, 1);
  return PrintOn(job, device, options, [&](receipt::JobLink& link, std::string* why) {
    receipt::PageEncoder encoder(options, link);
    papplJobSetImpressions(job, static_cast<int>(options.copies));
    ImageCopies copies(job, options.copies, options.lineDots);
    PapplJob control(job);
    return PrintPages(copies, encoder, control, why);
  });
}

// A document in the printer's own format, ESC/POS as point-of-sale software
// writes it (or our band pipeline): checked whole by the grammar before a
// byte of it is sent, then passed on as it came, but for the commands the
// printer would answer on the line the server reads for its own status.
bool RawFileCallback(pappl_job_t* job, pappl_pr_options_t*, pappl_device_t* device) {
  const char* path = papplJobGetFilename(job);
  FILE* in = path ? fopen(path, "rb") : nullptr;
  if (in == nullptr) return Failed(job, "The document cannot be read.");
  std::vector<uint8_t> bytes;
  uint8_t chunk[65536];
  size_t n;
  while (bytes.size() <= kMaxRawDocument && (n = fread(chunk, 1, sizeof chunk, in)) > 0)
    bytes.insert(bytes.end(), chunk, chunk + n);
  fclose(in);
  std::string out;
  size_t removed = 0;
  const std::string refusal = CheckRawDocument(bytes.data(), bytes.size(), &out, &removed);
  if (!refusal.empty()) return Failed(job, refusal);
  if (removed)
    papplLogJob(job, PAPPL_LOGLEVEL_INFO,
                "%u status request(s) or automatic status back taken out of the document: the server asks the "
                "printer's status itself.",
                static_cast<unsigned>(removed));
  // The document's own bytes: only the job's line and its picture settings
  // are read from its options.
  return PrintOn(job, device, JobOptions(job, 0), [&](receipt::JobLink& link, std::string*) {
    return link.Write(reinterpret_cast<const uint8_t*>(out.data()), out.size());
  });
}

bool NoRasterJobCallback(pappl_job_t* job, pappl_pr_options_t*, pappl_device_t*) {
  return Failed(job, "This document format is not printed here.");
}
bool NoRasterPageCallback(pappl_job_t*, pappl_pr_options_t*, pappl_device_t*, unsigned) { return false; }
bool NoRasterLineCallback(pappl_job_t*, pappl_pr_options_t*, pappl_device_t*, unsigned, const unsigned char*) {
  return false;
}
