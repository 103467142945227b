// lorvex-printer-app: the band pipeline as an IPP Everywhere printer
// application on PAPPL, for 80 mm ESC/POS receipt printers at 203 dpi.
//
// Clients (Linux, macOS, iOS, Android, Windows' IPP class driver) send
// 8-bit gray PWG/Apple raster, PNG or JPEG; every page goes through the same
// PrepareBand/EmitBand as the Windows plug-in (receipt_printer.h), and the
// records are written to a USB (usb://, file:///dev/usb/lp0) or network
// (socket://host:9100) printer as they are made, once the printer says it
// can print; a job is done when the printer confirms it (printer_link.h).
// `main` only sets up the system and the one driver; PAPPL's own
// sub-commands (server, add, submit, printers, options, modify, devices,
// drivers, shutdown) work as usual. PAPPL is ours, patched: see
// pappl-patches/.
#include <pappl/pappl.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "device_policy.h"
#include "escpos_stream.h"
#include "image_rows.h"
#include "printer_icon.h"
#include "printer_link.h"
#include "receipt_options.h"
#include "receipt_printer.h"
#include "receipt_test_page.h"
#include "web_strings.h"

namespace {

constexpr const char* kVersion = "7.24.0";
// The printer's own format: the ESC/POS stream of the band pipeline.
constexpr const char* kDriverFormat = "application/vnd.lorvex-escpos";
constexpr const char* kFooter =
    "LORVEX receipt printers: 80 mm and 58 mm ESC/POS at 203 dpi, halftoned by the LORVEX band pipeline.";

// What sets the two drivers apart: the roll and the line on it. Each roll is
// advertised as a length range (so clients offer a custom length) and as
// three lengths to pick from.
struct ReceiptModel {
  const char* driver;
  const char* makeAndModel;
  unsigned lineDots;       // at 203 dpi: 72 mm on 80 mm paper, 48 mm on 58 mm
  int rollWidth;           // hundredths of millimetres
  int margin;              // either side of the line, hundredths of millimetres
  const char* media[5];    // the default first
};

const ReceiptModel kModels[] = {
    {"lorvex_80mm", "LORVEX RVT-520 80 mm Receipt Printer", receipt::kLineDots, 8000, 400,
     {"om_receipt-80mm_80x297mm", "om_receipt-80mm-short_80x160mm", "om_receipt-80mm-long_80x1000mm",
      "roll_min_80x25mm", "roll_max_80x1000mm"}},
    {"lorvex_58mm", "LORVEX 58 mm Receipt Printer", receipt::kNarrowLineDots, 5800, 500,
     {"om_receipt-58mm_58x297mm", "om_receipt-58mm-short_58x160mm", "om_receipt-58mm-long_58x1000mm",
      "roll_min_58x25mm", "roll_max_58x1000mm"}},
};

pappl_pr_driver_t g_drivers[] = {
    {"lorvex_80mm", "LORVEX 80 mm ESC/POS receipt printer (RVT-520 and compatibles)",
     "MFG:LORVEX;MDL:RVT-520;CMD:ESC/POS;", nullptr},
    {"lorvex_58mm", "LORVEX 58 mm ESC/POS receipt printer (384 dots)", "MFG:LORVEX;MDL:58mm;CMD:ESC/POS;",
     nullptr},
};

const ReceiptModel* ModelOf(const char* driver) {
  for (const ReceiptModel& model : kModels)
    if (driver && strcmp(driver, model.driver) == 0) return &model;
  return nullptr;
}

// The line of the printer a job prints on.
unsigned LineDotsOf(pappl_job_t* job) {
  const ReceiptModel* model = ModelOf(papplPrinterGetDriverName(papplJobGetPrinter(job)));
  return model ? model->lineDots : receipt::kLineDots;
}

// Where the system keeps its state and the test pages.
std::string g_spoolDirectory = "/tmp";
// The one folder file: devices may write in (-o file-device-dir), or none.
std::string g_fileDeviceDir;

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

// The job's settings: its own vendor attributes first, then the printer's
// defaults.
//
// PAPPL 1.3.1 never hands a printer default of a vendor option to the driver:
// a job without the option arrives without it, whatever was set on the
// printer. So the defaults are read here from the printer's driver
// attributes ("<name>-default").
receipt::Options JobOptions(pappl_job_t* job, pappl_pr_options_t* options) {
  ipp_t* defaults = papplPrinterGetDriverAttributes(papplJobGetPrinter(job));
  auto value = [&](const char* name) -> std::string {
    if (const char* v = cupsGetOption(name, options->num_vendor, options->vendor)) return v;
    const std::string key = std::string(name) + "-default";
    ipp_attribute_t* attr = defaults ? ippFindAttribute(defaults, key.c_str(), IPP_TAG_ZERO) : nullptr;
    const char* v = attr ? ippGetString(attr, 0, nullptr) : nullptr;
    return v ? v : "";
  };
  receipt::Options o = ParseReceiptOptions(value);
  ippDelete(defaults);
  // A halftone named by the job or set as the printer's default wins; else
  // the content and quality the client asks for pick one.
  if (o.halftone == "auto")
    o.halftone = AutoHalftone(ContentKeyword(options->print_content_optimize), static_cast<int>(options->print_quality));
  // "finishings" sent with the job: trim (11) cuts the paper (after each
  // page, unless the cut option says at the end of the job), none (3) does
  // not. Without it, the printer's finishings-default, trim, leaves the cut
  // option as it is.
  if (papplJobGetAttribute(job, "finishings") || papplJobGetAttribute(job, "finishings-col")) {
    if (!(options->finishings & PAPPL_FINISHINGS_TRIM))
      o.cut = receipt::Cut::kNone;
    else if (o.cut == receipt::Cut::kNone)
      o.cut = receipt::Cut::kEachPage;
  }
  o.darkness = JobDarkness(options->print_darkness, options->darkness_configured);
  o.lineDots = LineDotsOf(job);
  o.copies = options->copies > 0 ? static_cast<unsigned>(options->copies) : 1;
  o.pagesPerCopy = options->num_pages;
  return o;
}

// The job's settings for a document of `pages` pages (0: not known).
receipt::Options JobOptions(pappl_job_t* job, unsigned pages) {
  pappl_pr_options_t* options = papplJobCreatePrintOptions(job, pages, false);
  if (options == nullptr) return receipt::Options();
  receipt::Options o = JobOptions(job, options);
  papplJobDeletePrintOptions(options);
  return o;
}

bool Failed(pappl_job_t* job, const std::string& why) {
  papplJobSetMessage(job, "%s", why.c_str());
  papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "%s", why.c_str());
  return false;
}

// Prints one job on the device PAPPL opened for it: waits while the printer
// cannot print, lets `body` send the job's bytes through the link, and ends
// only once the printer has confirmed them. A failure of `body` has set the
// job's message already, unless the connection broke under it.
template <typename Body>
bool PrintOn(pappl_job_t* job, pappl_device_t* device, Body body) {
  if (device == nullptr) return Failed(job, "The job has no printer device.");
  receipt::JobLink link(job, device);
  if (!link.WaitUntilReady()) return false;
  if (!body(link)) return link.Broken() ? Failed(job, link.BrokenMessage()) : false;
  std::string why;
  if (!link.Confirm(&why)) return Failed(job, why);
  papplJobSetMessage(job, "Printed.");
  return true;
}

// One raster page's lines, 8-bit gray however the client's page holds it.
struct RasterPage {
  unsigned width = 0, height = 0, left = 0;
  bool black = false;  // device black: 0 is white
};

// Checks a page header of the client's raster document: 8-bit gray is all
// we advertise, anything else would print as garbage, and a page longer
// than the roll is refused before a row of it is sent. Empty when the page
// can be printed.
std::string CheckRasterPage(const cups_page_header2_t& h, unsigned page, unsigned lineDots, RasterPage* out) {
  const bool gray = h.cupsColorSpace == CUPS_CSPACE_SW || h.cupsColorSpace == CUPS_CSPACE_W ||
                    h.cupsColorSpace == CUPS_CSPACE_K;
  if (h.cupsBitsPerPixel != 8 || h.cupsBitsPerColor != 8 || h.cupsNumColors > 1 || !gray)
    return "This printer prints 8-bit gray raster only; page " + std::to_string(page) + " came as " +
           std::to_string(h.cupsBitsPerPixel) + "-bit raster with " + std::to_string(h.cupsNumColors) + " color(s).";
  if (h.cupsWidth == 0 || h.cupsWidth > kMaxImageWidth || h.cupsHeight > kMaxImageHeight || h.HWResolution[0] == 0 ||
      h.cupsBytesPerLine != h.cupsWidth)
    return "The page size " + std::to_string(h.cupsWidth) + " x " + std::to_string(h.cupsHeight) +
           " dots cannot be printed.";
  const std::string tooLong = RefusePageLength(h.cupsHeight, h.HWResolution[1] ? h.HWResolution[1] : 203);
  if (!tooLong.empty()) return tooLong;
  out->width = h.cupsWidth;
  out->height = h.cupsHeight;
  out->left = PrintableLeft(h.cupsWidth, h.cupsImagingBBox[0], h.HWResolution[0], lineDots);
  out->black = h.cupsColorSpace == CUPS_CSPACE_K;
  return "";
}

// PWG and Apple raster, spooled like every other document, read page by
// page and row by row into the job core. The rows that came are on paper
// as whole records; a page that ends early ends the job, saying so.
bool RasterFilter(pappl_job_t* job, pappl_device_t* device, void*) {
  const char* path = papplJobGetFilename(job);
  const int fd = path ? open(path, O_RDONLY) : -1;
  if (fd < 0) return Failed(job, "The document cannot be read.");
  cups_raster_t* raster = cupsRasterOpen(fd, CUPS_RASTER_READ);
  cups_page_header2_t header;
  const bool first = raster != nullptr && cupsRasterReadHeader2(raster, &header);
  bool ok = first;
  if (!first) {
    Failed(job, "The document is not PWG or Apple raster.");
  } else {
    const unsigned pages = header.cupsInteger[CUPS_RASTER_PWG_TotalPageCount];
    const receipt::Options options = JobOptions(job, pages);
    ok = PrintOn(job, device, [&](receipt::JobLink& link) {
      receipt::Printer printer(options, link);
      std::vector<uint8_t> line;
      unsigned page = 0;
      do {
        ++page;
        RasterPage p;
        const std::string refusal = CheckRasterPage(header, page, options.lineDots, &p);
        if (!refusal.empty()) return Failed(job, refusal);
        if (!printer.StartPage(p.width, p.left)) return Failed(job, printer.Error());
        line.resize(p.width);
        unsigned rows = 0;
        for (; rows < p.height; ++rows) {
          if (papplJobIsCanceled(job)) return false;
          if (cupsRasterReadPixels(raster, line.data(), p.width) != p.width) break;
          if (p.black)
            for (uint8_t& v : line) v = static_cast<uint8_t>(255 - v);
          if (!printer.WriteLine(line.data())) return Failed(job, printer.Error());
        }
        if (!printer.EndPage()) return Failed(job, printer.Error());
        papplJobSetImpressionsCompleted(job, 1);
        if (rows < p.height)
          return Failed(job, "The document ended early: page " + std::to_string(page) + " has " +
                                 std::to_string(rows) + " of its " + std::to_string(p.height) + " rows.");
      } while (cupsRasterReadHeader2(raster, &header));
      return printer.EndJob() ? true : Failed(job, printer.Error());
    });
  }
  if (raster) cupsRasterClose(raster);
  close(fd);
  return ok;
}

// Opens the job's PNG or JPEG for row-by-row reading, after checking it by
// its own first bytes and its header's size: nothing else is decoded. Null
// with the job's message set when it cannot be printed.
std::unique_ptr<GrayRows> OpenJobImage(pappl_job_t* job) {
  const char* path = papplJobGetFilename(job);
  const char* label = papplJobGetFormat(job);
  if (path == nullptr || label == nullptr) {
    Failed(job, "The job has no document to print.");
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
    Failed(job, std::string("The document sent as ") + label + " is " +
                    (type.empty() ? std::string("not an image this printer knows") : type) +
                    "; only PNG and JPEG images are printed, each sent as what it is.");
    return nullptr;
  }
  std::string why;
  std::unique_ptr<GrayRows> rows = OpenGrayRows(path, &why);
  if (!rows) {
    Failed(job, "The image cannot be printed: " + why + ".");
    return nullptr;
  }
  const std::string refusal = RefuseImageSize(rows->Width(), rows->Height(), LineDotsOf(job));
  if (!refusal.empty()) {
    Failed(job, refusal);
    return nullptr;
  }
  return rows;
}

// PNG and JPEG, read row by row with our own decoders, straight into the
// job core: PAPPL 1.3.1's own PNG reader loops forever on a truncated or
// oversized file. The whole image is decoded once without output first, so
// a damaged one prints nothing; memory stays that of a few rows.
bool ImageFilter(pappl_job_t* job, pappl_device_t* device, void*) {
  {
    std::unique_ptr<GrayRows> rows = OpenJobImage(job);
    if (!rows) return false;
    std::vector<uint8_t> line(rows->Width());
    for (unsigned y = 0; y < rows->Height(); ++y) {
      if (papplJobIsCanceled(job)) return false;
      if (!rows->Next(line.data())) return Failed(job, "The image cannot be printed: " + rows->Error() + ".");
    }
  }
  const receipt::Options options = JobOptions(job, 1);
  return PrintOn(job, device, [&](receipt::JobLink& link) {
    receipt::Printer printer(options, link);
    papplJobSetImpressions(job, static_cast<int>(options.copies));
    for (unsigned copy = 0; copy < options.copies; ++copy) {
      std::unique_ptr<GrayRows> rows = ScaleDownTo(OpenJobImage(job), options.lineDots);
      if (!rows) return false;
      if (!printer.StartPage(rows->Width(), 0)) return Failed(job, printer.Error());
      std::vector<uint8_t> line(rows->Width());
      for (unsigned y = 0; y < rows->Height(); ++y) {
        if (papplJobIsCanceled(job)) return false;
        if (!rows->Next(line.data())) return Failed(job, "The image cannot be printed: " + rows->Error() + ".");
        if (!printer.WriteLine(line.data())) return Failed(job, printer.Error());
      }
      if (!printer.EndPage()) return Failed(job, printer.Error());
      papplJobSetImpressionsCompleted(job, 1);
    }
    return printer.EndJob() ? true : Failed(job, printer.Error());
  });
}

// A document in the printer's own format: a stream of the band pipeline's
// records and job commands, checked whole before a byte of it is sent. One
// larger than we hold is refused, never sent cut short.
constexpr size_t kMaxRawDocument = size_t{64} << 20;

bool RawFile(pappl_job_t* job, pappl_pr_options_t*, pappl_device_t* device) {
  const char* path = papplJobGetFilename(job);
  FILE* in = path ? fopen(path, "rb") : nullptr;
  if (in == nullptr) return Failed(job, "The document cannot be read.");
  std::vector<uint8_t> bytes;
  uint8_t chunk[65536];
  size_t n;
  while (bytes.size() <= kMaxRawDocument && (n = fread(chunk, 1, sizeof chunk, in)) > 0)
    bytes.insert(bytes.end(), chunk, chunk + n);
  fclose(in);
  if (bytes.size() > kMaxRawDocument)
    return Failed(job, "The ESC/POS document is larger than " + std::to_string(kMaxRawDocument >> 20) + " MB.");
  StreamModel model;
  model.jobCommands = true;
  const DecodedStream decoded = DecodeStream(bytes.data(), bytes.size(), model);
  if (!decoded.ok)
    return Failed(job, "The ESC/POS document is not one this printer takes (offset " +
                           std::to_string(decoded.errorOffset) + ": " + decoded.error + ").");
  return PrintOn(job, device, [&](receipt::JobLink& link) { return link.Write(bytes.data(), bytes.size()); });
}

// PAPPL wants raster callbacks of every driver, and calls them only for
// documents no filter of ours takes: we take every format we advertise, so
// these refuse whatever reaches them.
bool NoRasterJob(pappl_job_t* job, pappl_pr_options_t*, pappl_device_t*) {
  return Failed(job, "This document format is not printed here.");
}
bool NoRasterPage(pappl_job_t*, pappl_pr_options_t*, pappl_device_t*, unsigned) { return false; }
bool NoRasterLine(pappl_job_t*, pappl_pr_options_t*, pappl_device_t*, unsigned, const unsigned char*) { return false; }

// Every few seconds, the status of each idle printer that answers.
constexpr int kStatusPollSeconds = 5;
bool PollAllPrinters(pappl_system_t* system, void*) {
  papplSystemIteratePrinters(
      system, [](pappl_printer_t* printer, void*) { receipt::PollStatus(printer); }, nullptr);
  return true;
}

// The test page: a PNG in the spool directory, printed like any other.
const char* TestPage(pappl_printer_t* printer, char* buffer, size_t size) {
  snprintf(buffer, size, "%s/test-page-%d.png", g_spoolDirectory.c_str(), papplPrinterGetID(printer));
  const ReceiptModel* model = ModelOf(papplPrinterGetDriverName(printer));
  return WriteTestPage(buffer, model ? model->lineDots : receipt::kLineDots) ? buffer : nullptr;
}

// The job options as vendor attributes: "<name>-supported" keywords and
// "<name>-default", settable on the web page and with "modify -o".
void AddVendorOptions(pappl_pr_driver_data_t* data, ipp_t** attrs) {
  if (*attrs == nullptr) *attrs = ippNew();
  data->num_vendor = 0;
  for (const VendorOption& option : ReceiptVendorOptions()) {
    data->vendor[data->num_vendor++] = option.name;
    std::vector<const char*> values;
    for (const std::string& v : option.values) values.push_back(v.c_str());
    const std::string supported = std::string(option.name) + "-supported";
    const std::string def = std::string(option.name) + "-default";
    ippAddStrings(*attrs, IPP_TAG_PRINTER, IPP_TAG_KEYWORD, supported.c_str(), static_cast<int>(values.size()),
                  nullptr, values.data());
    ippAddString(*attrs, IPP_TAG_PRINTER, IPP_TAG_KEYWORD, def.c_str(), nullptr, values.front());
  }
}

// The printer's icon at the sizes of printer-icons: 48, 128 and 512
// pixels, drawn once and kept for the life of the program.
const std::vector<uint8_t>& Icon(int index) {
  static const std::vector<uint8_t> icons[3] = {PrinterIconPng(48), PrinterIconPng(128), PrinterIconPng(512)};
  return icons[index];
}

void SetIcons(pappl_pr_driver_data_t* data) {
  for (int i = 0; i < 3; ++i) {
    data->icons[i].data = Icon(i).empty() ? nullptr : Icon(i).data();
    data->icons[i].datalen = Icon(i).size();
  }
}

bool Driver(pappl_system_t*, const char* driver_name, const char* device_uri, const char*, pappl_pr_driver_data_t* data,
            ipp_t** attrs, void*) {
  const ReceiptModel* model = ModelOf(driver_name);
  if (model == nullptr) return false;
  // Every printer passes here, however it is made: refuse devices that are
  // not printers before anything is set up.
  const std::string refusal = RefuseDevice(device_uri ? device_uri : "", g_fileDeviceDir);
  if (!refusal.empty()) {
    papplPrinterRefuseDevice(refusal.c_str());
    return false;
  }
  data->rstartjob_cb = NoRasterJob;
  data->rstartpage_cb = NoRasterPage;
  data->rwriteline_cb = NoRasterLine;
  data->rendpage_cb = NoRasterPage;
  data->rendjob_cb = NoRasterJob;
  data->status_cb = receipt::PollStatus;
  data->testpage_cb = TestPage;
  data->printfile_cb = RawFile;
  data->format = kDriverFormat;
  snprintf(data->make_and_model, sizeof data->make_and_model, "%s", model->makeAndModel);
  data->ppm = 20;
  data->kind = PAPPL_KIND_RECEIPT | PAPPL_KIND_ROLL;
  data->orient_default = IPP_ORIENT_PORTRAIT;
  data->color_supported = PAPPL_COLOR_MODE_MONOCHROME | PAPPL_COLOR_MODE_AUTO;
  data->color_default = PAPPL_COLOR_MODE_MONOCHROME;
  data->content_default = PAPPL_CONTENT_AUTO;
  data->quality_default = IPP_QUALITY_NORMAL;
  // print-darkness bends the tone curve before the halftone; the printer's
  // own darkness (0 to 100 %, 50 neutral) moves it for every job.
  data->darkness_supported = 11;
  data->darkness_default = 0;
  data->darkness_configured = 50;
  // 8-bit gray, and nothing else, in lines.
  data->raster_types = PAPPL_PWG_RASTER_TYPE_SGRAY_8;
  data->force_raster_type = PAPPL_PWG_RASTER_TYPE_SGRAY_8;
  data->num_resolution = 1;
  data->x_resolution[0] = data->y_resolution[0] = 203;
  data->x_default = data->y_default = 203;
  data->sides_supported = PAPPL_SIDES_ONE_SIDED;
  data->sides_default = PAPPL_SIDES_ONE_SIDED;
  data->finishings = PAPPL_FINISHINGS_TRIM;
  const int margin = model->margin;
  data->left_right = margin;
  data->bottom_top = 0;
  data->num_media = 0;
  for (const char* media : model->media) data->media[data->num_media++] = media;
  data->num_source = 1;
  data->source[0] = "main-roll";
  pappl_media_col_t& m = data->media_default;
  pwg_media_t* size = pwgMediaForPWG(model->media[0]);
  snprintf(m.size_name, sizeof m.size_name, "%s", model->media[0]);
  m.size_width = size ? size->width : model->rollWidth;
  m.size_length = size ? size->length : 29700;
  m.left_margin = m.right_margin = margin;
  m.top_margin = m.bottom_margin = 0;
  snprintf(m.source, sizeof m.source, "main-roll");
  snprintf(m.type, sizeof m.type, "continuous");
  data->media_ready[0] = m;
  data->num_type = 1;
  data->type[0] = "continuous";
  SetIcons(data);
  // What AirPrint clients look for is all here: JPEG, Apple and PWG
  // raster, printer-icons, TLS and the DNS-SD _universal subtype.
  data->num_features = 1;
  data->features[0] = "airprint-2.1";
  AddVendorOptions(data, attrs);
  // A cut after each receipt unless the job says otherwise.
  ippAddInteger(*attrs, IPP_TAG_PRINTER, IPP_TAG_ENUM, "finishings-default", IPP_FINISHINGS_TRIM);
  // What IPP Everywhere clients ask and PAPPL 1.3.1 does not say: grays
  // are printed as they come (no rendering intent to pick), pages are
  // one-sided, and requested attributes are answered as asked.
  ippAddString(*attrs, IPP_TAG_PRINTER, IPP_TAG_KEYWORD, "print-rendering-intent-supported", nullptr, "auto");
  ippAddString(*attrs, IPP_TAG_PRINTER, IPP_TAG_KEYWORD, "print-rendering-intent-default", nullptr, "auto");
  ippAddString(*attrs, IPP_TAG_PRINTER, IPP_TAG_KEYWORD, "pwg-raster-document-sheet-back", nullptr, "normal");
  ippAddBoolean(*attrs, IPP_TAG_PRINTER, "preferred-attributes-supported", 0);
  return true;
}

const char* AutoAdd(const char*, const char*, const char* device_id, void*) {
  // ESC/POS receipt printers name their command set in their IEEE 1284 ID;
  // those that say 58 mm get the narrow line.
  if (device_id == nullptr) return nullptr;
  if (!strstr(device_id, "ESC/POS") && !strstr(device_id, "ESCPOS") && !strstr(device_id, "RVT-520")) return nullptr;
  return strstr(device_id, "58mm") || strstr(device_id, "58 mm") ? "lorvex_58mm" : "lorvex_80mm";
}

// True when `listen` names only this machine's loopback addresses.
bool LoopbackOnly(const char* listen) {
  if (listen == nullptr) return true;
  for (const char* name : {"localhost", "127.0.0.1", "::1", "[::1]"})
    if (strcmp(listen, name) == 0) return true;
  return false;
}

// Reads the administrator's access password from the first line of `path`
// and sets its hash on the system. False, with `why`, when it cannot.
bool SetAccessPassword(pappl_system_t* system, const char* path, std::string* why) {
  std::ifstream in(path);
  std::string password;
  if (!in || !std::getline(in, password)) {
    *why = std::string("cannot read the admin-password-file ") + path;
    return false;
  }
  if (!password.empty() && password.back() == '\r') password.pop_back();
  if (password.size() < 8) {
    *why = std::string("the password in ") + path + " is shorter than 8 characters";
    return false;
  }
  char hash[100];
  papplSystemHashPassword(system, nullptr, password.c_str(), hash, sizeof hash);
  papplSystemSetPassword(system, hash);
  return true;
}

// Ends a server that would not be safe to run, saying what to set.
pappl_system_t* Refuse(pappl_system_t* system, const std::string& why) {
  fprintf(stderr, "lorvex-printer-app: %s\n", why.c_str());
  if (system) papplSystemDelete(system);
  return nullptr;
}

pappl_system_t* System(int num_options, cups_option_t* options, void*) {
  const char* portText = cupsGetOption("server-port", num_options, options);
  const char* spool = cupsGetOption("spool-directory", num_options, options);
  const char* log = cupsGetOption("log-file", num_options, options);
  const char* level = cupsGetOption("log-level", num_options, options);
  const char* listen = cupsGetOption("listen-hostname", num_options, options);
  const char* fileDir = cupsGetOption("file-device-dir", num_options, options);
  const char* passwordFile = cupsGetOption("admin-password-file", num_options, options);
  const int port = portText ? atoi(portText) : 8000;
  pappl_loglevel_t loglevel = PAPPL_LOGLEVEL_INFO;
  if (level && !strcmp(level, "debug")) loglevel = PAPPL_LOGLEVEL_DEBUG;
  if (level && !strcmp(level, "warn")) loglevel = PAPPL_LOGLEVEL_WARN;
  if (level && !strcmp(level, "error")) loglevel = PAPPL_LOGLEVEL_ERROR;

  // The folder that file: devices may write in: it must be there, by an
  // absolute path, before any printer (saved ones too) is checked against it.
  if (fileDir) {
    struct stat info;
    if (fileDir[0] != '/' || stat(fileDir, &info) != 0 || !S_ISDIR(info.st_mode))
      return Refuse(nullptr, std::string("file-device-dir=") + fileDir + " is not an absolute path to a folder.");
    g_fileDeviceDir = fileDir;
  }

  // TLS is on: a client that starts with a TLS handshake gets HTTPS on the
  // same port, and the web pages that ask for the password move to it.
  pappl_system_t* system = papplSystemCreate(
      PAPPL_SOPTIONS_MULTI_QUEUE | PAPPL_SOPTIONS_WEB_INTERFACE | PAPPL_SOPTIONS_WEB_LOG | PAPPL_SOPTIONS_WEB_SECURITY,
      "LORVEX Receipt Printers", port, "_print,_universal", spool, log ? log : "-", loglevel, nullptr, false);
  if (system == nullptr) return nullptr;
  // Loopback only, unless the user names an address to listen on ("*": all
  // of them, the machine keeping its own name).
  papplSystemAddListeners(system, listen ? listen : "localhost");
  if (listen == nullptr || strcmp(listen, "*") != 0) papplSystemSetHostName(system, listen ? listen : "localhost");
  // PAPPL 1.3.1 crashes on any page of a system without footer HTML.
  papplSystemSetFooterHTML(system, kFooter);
  // Our icon on every page too, in the header and as the browser's.
  if (!Icon(0).empty() && !Icon(1).empty()) {
    papplSystemAddResourceData(system, "/navicon.png", "image/png", Icon(0).data(), Icon(0).size());
    papplSystemAddResourceData(system, "/favicon.png", "image/png", Icon(1).data(), Icon(1).size());
  }
  // Our options' labels, in the browser's language.
  for (const WebStrings& strings : ReceiptWebStrings()) {
    static std::vector<std::string> paths;
    paths.push_back(std::string("/lorvex-") + strings.language + ".strings");
    papplSystemAddStringsData(system, paths.back().c_str(), strings.language, strings.data);
  }
  papplSystemSetPrinterDrivers(system, static_cast<int>(sizeof g_drivers / sizeof g_drivers[0]), g_drivers,
                               AutoAdd, nullptr, Driver, nullptr);
  // PAPPL 1.3.1 keeps its own PNG and JPEG filters to raster first in its
  // list, and its PNG reader loops forever on a truncated or oversized file:
  // ours convert to the driver's own format instead, so PAPPL picks them.
  papplSystemAddMIMEFilter(system, "image/png", kDriverFormat, ImageFilter, nullptr);
  papplSystemAddMIMEFilter(system, "image/jpeg", kDriverFormat, ImageFilter, nullptr);
  // Raster is spooled and queued like the rest (our PAPPL no longer prints
  // it from the client's connection), and read here.
  papplSystemAddMIMEFilter(system, "image/pwg-raster", kDriverFormat, RasterFilter, nullptr);
  papplSystemAddMIMEFilter(system, "image/urf", kDriverFormat, RasterFilter, nullptr);
  // Idle printers that answer are asked how they are every few seconds.
  papplSystemAddTimerCallback(system, 0, kStatusPollSeconds, PollAllPrinters, nullptr);
  // Printers and their defaults are kept in the spool directory.
  if (spool) {
    g_spoolDirectory = spool;
    static std::string state;
    state = std::string(spool) + "/lorvex-printer-app.state";
    papplSystemLoadState(system, state.c_str());
    papplSystemSetSaveCallback(
        system, [](pappl_system_t* s, void* path) { return papplSystemSaveState(s, static_cast<const char*>(path)); },
        const_cast<char*>(state.c_str()));
  }
  std::string why;
  if (passwordFile && !SetAccessPassword(system, passwordFile, &why)) return Refuse(system, why + ".");
  // Clients on the network may only change anything after logging in with
  // the access password; a server that would take changes from anyone does
  // not start.
  char hash[100] = "";
  papplSystemGetPassword(system, hash, sizeof hash);
  if (!LoopbackOnly(listen) && hash[0] == '\0')
    return Refuse(system, std::string("listening on ") + listen +
                              " needs an access password for administration: start with "
                              "-o admin-password-file=FILE (the password on its first line, 8 characters or more), "
                              "or start it on loopback once and set one on http://localhost:" + std::to_string(port) + "/security.");
  return system;
}

}  // namespace

int main(int argc, char* argv[]) {
  return papplMainloop(argc, argv, kVersion, kFooter, static_cast<int>(sizeof g_drivers / sizeof g_drivers[0]),
                       g_drivers, AutoAdd, Driver, nullptr, nullptr, System, nullptr, nullptr);
}
