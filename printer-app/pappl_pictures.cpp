// pappl_pictures.cpp: job pictures kept, listed and served.
#include "pappl_pictures.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace receipt {

namespace {

JobPictures* g_pictures = nullptr;

// The printer's own setting: pictures unless its default says "off".
bool PicturesOn(pappl_printer_t* printer) {
  ipp_t* attrs = papplPrinterGetDriverAttributes(printer);
  ipp_attribute_t* attr = attrs ? ippFindAttribute(attrs, "job-pictures-default", IPP_TAG_ZERO) : nullptr;
  const char* value = attr ? ippGetString(attr, 0, nullptr) : nullptr;
  const bool on = value == nullptr || std::string(value) != "off";
  ippDelete(attrs);
  return on;
}

int FormNumber(int count, cups_option_t* form, const char* name) {
  const char* value = cupsGetOption(name, count, form);
  if (value == nullptr || *value == 0) return 0;
  char* end = nullptr;
  const long n = std::strtol(value, &end, 10);
  return *end == 0 && n > 0 && n < 1000000000 ? static_cast<int>(n) : 0;
}

// "/receipt-picture?printer=P&job=J": the picture, to whoever may see the
// job lists.
bool PictureResource(pappl_client_t* client, void*) {
  if (!papplClientHTMLAuthorize(client)) return true;  // answered: log in first
  cups_option_t* form = nullptr;
  const int count = papplClientGetForm(client, &form);
  const int printerId = FormNumber(count, form, "printer"), jobId = FormNumber(count, form, "job");
  cupsFreeOptions(count, form);
  pappl_printer_t* printer = printerId ? papplSystemFindPrinter(papplClientGetSystem(client), nullptr, printerId, nullptr)
                                       : nullptr;
  std::vector<uint8_t> png;
  if (printer != nullptr && jobId > 0 && g_pictures != nullptr && PicturesOn(printer)) {
    if (FILE* in = std::fopen(g_pictures->PathOf(printerId, jobId).c_str(), "rb")) {
      uint8_t chunk[65536];
      size_t n;
      while ((n = std::fread(chunk, 1, sizeof chunk, in)) > 0) png.insert(png.end(), chunk, chunk + n);
      std::fclose(in);
    }
  }
  if (png.empty()) return papplClientRespond(client, HTTP_STATUS_NOT_FOUND, nullptr, nullptr, 0, 0);
  if (!papplClientRespond(client, HTTP_STATUS_OK, nullptr, "image/png", 0, png.size())) return false;
  http_t* http = papplClientGetHTTP(client);
  return httpWrite2(http, reinterpret_cast<const char*>(png.data()), png.size()) == static_cast<ssize_t>(png.size()) &&
         httpFlushWrite(http) >= 0;
}

}  // namespace

void StartJobPictures(pappl_system_t* system, const std::string& folder) {
  static JobPictures pictures(folder);
  g_pictures = &pictures;
  papplSystemAddResourceCallback(system, "/receipt-picture", "image/png", PictureResource, nullptr);
}

bool PictureCallback(pappl_job_t* job, char* uri, size_t size) {
  pappl_printer_t* printer = papplJobGetPrinter(job);
  const int printerId = papplPrinterGetID(printer), jobId = papplJobGetID(job);
  if (g_pictures == nullptr || !g_pictures->Has(printerId, jobId)) return false;
  if (!PicturesOn(printer)) {
    // Turned off: the pictures kept so far go too.
    g_pictures->Remove(printerId);
    return false;
  }
  std::snprintf(uri, size, "/receipt-picture?printer=%d&job=%d", printerId, jobId);
  return true;
}

PictureTap::PictureTap(pappl_job_t* job, const Options& options, PrinterPort& device) : job_(job), device_(device) {
  render_.lineDots = options.lineDots;
  // A printer that feeds by itself after raster moves the paper by GS v 0.
  render_.rasterAdvances = !options.sliceFeed;
  if (g_pictures != nullptr && options.keepPicture && PicturesOn(papplJobGetPrinter(job)))
    capture_ = g_pictures->Start(papplPrinterGetID(papplJobGetPrinter(job)), papplJobGetID(job));
}

PictureTap::~PictureTap() {
  if (!capture_) return;
  std::string why;
  if (!g_pictures->Finish(std::move(capture_), render_, &why))
    papplLogJob(job_, PAPPL_LOGLEVEL_WARN, "No picture of the job: %s.", why.c_str());
}

long PictureTap::Write(const uint8_t* data, size_t size) {
  const long taken = device_.Write(data, size);
  if (taken > 0 && capture_) capture_->Write(data, static_cast<size_t>(taken));
  return taken;
}

}  // namespace receipt
