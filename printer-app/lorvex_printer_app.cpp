// lorvex-printer-app: the band pipeline as an IPP Everywhere printer
// application on PAPPL, for 80 mm and 58 mm ESC/POS receipt printers.
//
// Clients (Linux, macOS, iOS, Android, Windows' IPP class driver) send
// 8-bit gray PWG/Apple raster, PNG or JPEG; every page goes through the same
// PrepareBand/EmitBand as the Windows plug-in (page_encoder.h), and the
// records are written to a USB (usb://, file:///dev/usb/lp0) or network
// (socket://host:9100) printer as they are made, once the printer says it
// can print; a job is done when the printer confirms it (printer_link.h).
// This file is the glue: `main`, the system callback and the driver
// callback. PAPPL's own sub-commands (server, add, submit, printers,
// options, modify, devices, drivers, shutdown) work as usual. PAPPL is ours,
// patched: see pappl-patches/.
#include <pappl/pappl.h>

#include <cstdio>
#include <string>
#include <vector>

#include "device_policy.h"
#include "document_filters.h"
#include "pappl_link.h"
#include "pappl_pictures.h"
#include "pappl_serial.h"
#include "printer_icon.h"
#include "printer_models.h"
#include "receipt_options.h"
#include "receipt_test_page.h"
#include "server_options.h"
#include "web_strings.h"

namespace {

constexpr const char* kVersion = "7.24.0";
constexpr const char* kFooter =
    "LORVEX receipt printers: 80 mm and 58 mm ESC/POS at 203 dpi, halftoned by the LORVEX band pipeline.";
// Every few seconds, the status of each idle printer that answers.
constexpr int kStatusPollSeconds = 5;

// Where the system keeps its state and the test pages.
std::string g_spoolDirectory = "/tmp";
// The one folder file: devices may write in (-o file-device-dir), or none.
std::string g_fileDeviceDir;
// True while the saved printers are made again at the start.
bool g_loadingState = false;

// PAPPL's driver list, from the model table.
std::vector<pappl_pr_driver_t>& Drivers() {
  static std::vector<pappl_pr_driver_t> drivers = [] {
    std::vector<pappl_pr_driver_t> list;
    for (const PrinterModel& model : PrinterModels())
      list.push_back({model.driver, model.description, model.deviceId, nullptr});
    return list;
  }();
  return drivers;
}

// The printer's icon at the sizes of printer-icons: 48, 128 and 512
// pixels, drawn once and kept for the life of the program.
const std::vector<uint8_t>& Icon(int index) {
  static const std::vector<uint8_t> icons[3] = {PrinterIconPng(48), PrinterIconPng(128), PrinterIconPng(512)};
  return icons[index];
}

bool PollAllPrintersCallback(pappl_system_t* system, void*) {
  papplSystemIteratePrinters(
      system, [](pappl_printer_t* printer, void*) { receipt::PollStatusCallback(printer); }, nullptr);
  receipt::ForgetMarksOfDoneJobs(system);
  return true;
}

// Identify-Printer: a short slip with the printer's name and address, when
// the printer is free (a job in hand is not interrupted).
void IdentifyCallback(pappl_printer_t* printer, pappl_identify_actions_t actions, const char* message) {
  if (!(actions & PAPPL_IDENTIFY_ACTIONS_DISPLAY)) return;
  const char* name = papplPrinterGetName(printer);
  char host[256] = "";
  pappl_system_t* system = papplPrinterGetSystem(printer);
  papplSystemGetHostName(system, host, sizeof host);
  char resource[256] = "";
  papplPrinterGetPath(printer, nullptr, resource, sizeof resource);
  // Its web page, where it is looked after.
  const std::string address =
      "http://" + std::string(host) + ":" + std::to_string(papplSystemGetHostPort(system)) + resource;
  pappl_device_t* device = papplPrinterOpenDevice(printer);
  if (device == nullptr) {
    papplLogPrinter(printer, PAPPL_LOGLEVEL_INFO, "Identify-Printer: the printer is busy; no slip printed.");
    return;
  }
  const std::string slip = IdentifySlip(name ? name : "", address, message ? message : "");
  papplDeviceWrite(device, slip.data(), slip.size());
  papplDeviceFlush(device);
  papplPrinterCloseDevice(printer);
  papplLogPrinter(printer, PAPPL_LOGLEVEL_INFO, "Identify-Printer: printed a slip with the printer's name and address.");
}

// The test page: a PNG in the spool directory, printed like any other.
const char* TestPageCallback(pappl_printer_t* printer, char* buffer, size_t size) {
  snprintf(buffer, size, "%s/test-page-%d.png", g_spoolDirectory.c_str(), papplPrinterGetID(printer));
  const PrinterModel* model = ModelOfDriver(papplPrinterGetDriverName(printer));
  return WriteTestPage(buffer, model ? model->lineDots : kLineDots) ? buffer : nullptr;
}

// The job options as vendor attributes: "<name>-supported" keywords and
// "<name>-default", settable on the web page and with "modify -o".
void AddVendorOptions(pappl_pr_driver_data_t* data, ipp_t* attrs) {
  data->num_vendor = 0;
  for (const ReceiptOption& option : ReceiptOptions()) {
    data->vendor[data->num_vendor++] = option.name;
    std::vector<const char*> values;
    for (const OptionValue& v : option.values) values.push_back(v.keyword.c_str());
    const std::string supported = std::string(option.name) + "-supported";
    const std::string def = std::string(option.name) + "-default";
    ippAddStrings(attrs, IPP_TAG_PRINTER, IPP_TAG_KEYWORD, supported.c_str(), static_cast<int>(values.size()),
                  nullptr, values.data());
    ippAddString(attrs, IPP_TAG_PRINTER, IPP_TAG_KEYWORD, def.c_str(), nullptr, option.defaultValue.c_str());
  }
}

void SetMedia(const PrinterModel& model, pappl_pr_driver_data_t* data) {
  data->left_right = model.margin;
  data->bottom_top = 0;
  data->num_media = 0;
  for (const char* media : model.media) data->media[data->num_media++] = media;
  data->num_source = 1;
  data->source[0] = "main-roll";
  pappl_media_col_t& m = data->media_default;
  pwg_media_t* size = pwgMediaForPWG(model.media[0]);
  snprintf(m.size_name, sizeof m.size_name, "%s", model.media[0]);
  m.size_width = size ? size->width : model.rollWidth;
  m.size_length = size ? size->length : 29700;
  m.left_margin = m.right_margin = model.margin;
  m.top_margin = m.bottom_margin = 0;
  snprintf(m.source, sizeof m.source, "main-roll");
  snprintf(m.type, sizeof m.type, "continuous");
  data->media_ready[0] = m;
  data->num_type = 1;
  data->type[0] = "continuous";
}

bool DriverCallback(pappl_system_t* system, const char* driver_name, const char* device_uri, const char*,
                    pappl_pr_driver_data_t* data, ipp_t** attrs, void*) {
  const PrinterModel* model = ModelOfDriver(driver_name);
  if (model == nullptr) return false;
  // Every printer passes here, however it is made: refuse devices that are
  // not printers before anything is set up.
  std::string refusal = RefuseDevice(device_uri ? device_uri : "", g_fileDeviceDir);
  if (!refusal.empty() && g_loadingState && SerialPortAsFile(device_uri)) {
    papplLog(system, PAPPL_LOGLEVEL_WARN, "A saved printer prints to %s as a file: %s", device_uri, refusal.c_str());
    refusal.clear();
  }
  if (!refusal.empty()) {
    papplPrinterRefuseDevice(refusal.c_str());
    return false;
  }
  data->rstartjob_cb = NoRasterJobCallback;
  data->rstartpage_cb = NoRasterPageCallback;
  data->rwriteline_cb = NoRasterLineCallback;
  data->rendpage_cb = NoRasterPageCallback;
  data->rendjob_cb = NoRasterJobCallback;
  data->status_cb = receipt::PollStatusCallback;
  data->rawanswer_cb = receipt::RawAnswerCallback;
  data->picture_cb = receipt::PictureCallback;
  data->testpage_cb = TestPageCallback;
  // Identify-Printer: a receipt printer's display is its paper.
  data->identify_supported = PAPPL_IDENTIFY_ACTIONS_DISPLAY;
  data->identify_default = PAPPL_IDENTIFY_ACTIONS_DISPLAY;
  data->identify_cb = IdentifyCallback;
  data->printfile_cb = RawFileCallback;
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
  data->x_resolution[0] = data->y_resolution[0] = static_cast<int>(kDpi);
  data->x_default = data->y_default = static_cast<int>(kDpi);
  data->sides_supported = PAPPL_SIDES_ONE_SIDED;
  data->sides_default = PAPPL_SIDES_ONE_SIDED;
  data->finishings = PAPPL_FINISHINGS_TRIM;
  SetMedia(*model, data);
  for (int i = 0; i < 3; ++i) {
    data->icons[i].data = Icon(i).empty() ? nullptr : Icon(i).data();
    data->icons[i].datalen = Icon(i).size();
  }
  // What AirPrint clients look for is all here: JPEG, Apple and PWG
  // raster, printer-icons, TLS and the DNS-SD _universal subtype.
  data->num_features = 1;
  data->features[0] = "airprint-2.1";
  if (*attrs == nullptr) *attrs = ippNew();
  AddVendorOptions(data, *attrs);
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

const char* AutoAddCallback(const char*, const char*, const char* device_id, void*) {
  const PrinterModel* model = ModelForDeviceId(device_id);
  return model ? model->driver : nullptr;
}

// Ends a server that would not be safe to run, saying what to set.
pappl_system_t* Refuse(pappl_system_t* system, const std::string& why) {
  fprintf(stderr, "lorvex-printer-app: %s\n", why.c_str());
  if (system) papplSystemDelete(system);
  return nullptr;
}

pappl_loglevel_t PapplLogLevel(ServerOptions::LogLevel level) {
  switch (level) {
    case ServerOptions::LogLevel::kDebug: return PAPPL_LOGLEVEL_DEBUG;
    case ServerOptions::LogLevel::kWarn: return PAPPL_LOGLEVEL_WARN;
    case ServerOptions::LogLevel::kError: return PAPPL_LOGLEVEL_ERROR;
    case ServerOptions::LogLevel::kFatal: return PAPPL_LOGLEVEL_FATAL;
    default: return PAPPL_LOGLEVEL_INFO;
  }
}

pappl_system_t* SystemCallback(int num_options, cups_option_t* options, void*) {
  ServerOptions server;
  std::string why;
  if (!ParseServerOptions([&](const char* name) { return cupsGetOption(name, num_options, options); }, &server, &why))
    return Refuse(nullptr, why);
  g_fileDeviceDir = server.fileDeviceDir;
  const char* spool = server.spoolDirectory.empty() ? nullptr : server.spoolDirectory.c_str();

  // TLS is on: a client that starts with a TLS handshake gets HTTPS on the
  // same port, and the web pages that ask for the password move to it.
  // Socket printing (TCP 9099 + the printer's id) when asked, listening
  // where IPP does.
  const pappl_soptions_t rawSocket = server.rawSocket ? PAPPL_SOPTIONS_RAW_SOCKET : PAPPL_SOPTIONS_NONE;
  pappl_system_t* system = papplSystemCreate(
      PAPPL_SOPTIONS_MULTI_QUEUE | PAPPL_SOPTIONS_WEB_INTERFACE | PAPPL_SOPTIONS_WEB_LOG | PAPPL_SOPTIONS_WEB_SECURITY |
          PAPPL_SOPTIONS_DNSSD_HOST | rawSocket,
      "LORVEX Receipt Printers", server.port, "_print,_universal", spool, server.logFile.c_str(),
      PapplLogLevel(server.logLevel), nullptr, false);
  if (system == nullptr) return nullptr;
  // Loopback only, unless the user names an address to listen on ("*": all
  // of them, the machine keeping its own name).
  const std::string listen = server.listen.empty() ? "localhost" : server.listen;
  papplSystemAddListeners(system, listen.c_str());
  if (listen != "*") papplSystemSetHostName(system, listen.c_str());
  // PAPPL 1.3.1 crashes on any page of a system without footer HTML.
  papplSystemSetFooterHTML(system, kFooter);
  // Our icon on every page too, in the header and as the browser's.
  if (!Icon(0).empty() && !Icon(1).empty()) {
    papplSystemAddResourceData(system, "/navicon.png", "image/png", Icon(0).data(), Icon(0).size());
    papplSystemAddResourceData(system, "/favicon.png", "image/png", Icon(1).data(), Icon(1).size());
  }
  // Our options' labels, in the browser's language.
  static std::vector<std::string> paths;
  for (const WebStrings& strings : ReceiptWebStrings()) {
    paths.push_back(std::string("/lorvex-") + strings.language + ".strings");
    papplSystemAddStringsData(system, paths.back().c_str(), strings.language, strings.data);
  }
  papplSystemSetPrinterDrivers(system, static_cast<int>(Drivers().size()), Drivers().data(), AutoAddCallback, nullptr,
                               DriverCallback, nullptr);
  // PAPPL 1.3.1 keeps its own PNG and JPEG filters to raster first in its
  // list, and its PNG reader loops forever on a truncated or oversized file:
  // ours convert to the driver's own format instead, so PAPPL picks them.
  papplSystemAddMIMEFilter(system, "image/png", kDriverFormat, ImageFilterCallback, nullptr);
  papplSystemAddMIMEFilter(system, "image/jpeg", kDriverFormat, ImageFilterCallback, nullptr);
  // Raster is spooled and queued like the rest (our PAPPL no longer prints
  // it from the client's connection), and read here.
  papplSystemAddMIMEFilter(system, "image/pwg-raster", kDriverFormat, RasterFilterCallback, nullptr);
  papplSystemAddMIMEFilter(system, "image/urf", kDriverFormat, RasterFilterCallback, nullptr);
  papplSystemAddTimerCallback(system, 0, kStatusPollSeconds, PollAllPrintersCallback, nullptr);
  papplSystemSetMaxClientsPerHost(system, server.maxConnectionsPerClient);
  // Printers, their defaults and their jobs are kept in the spool
  // directory; a job the printer may have a part of is held at the start.
  if (spool) {
    g_spoolDirectory = spool;
    static std::string state;
    state = g_spoolDirectory + "/lorvex-printer-app.state";
    receipt::SetMarkFolder(g_spoolDirectory);
    receipt::StartJobPictures(system, g_spoolDirectory + "/pictures");
    g_loadingState = true;
    papplSystemLoadState(system, state.c_str());
    g_loadingState = false;
    receipt::HoldJobsStoppedByARestart(system);
    papplSystemSetSaveCallback(
        system, [](pappl_system_t* s, void* path) { return papplSystemSaveState(s, static_cast<const char*>(path)); },
        const_cast<char*>(state.c_str()));
  }
  if (!server.passwordFile.empty()) {
    std::string password;
    if (!ReadAccessPassword(server.passwordFile, &password, &why)) return Refuse(system, why + ".");
    char hash[100];
    papplSystemHashPassword(system, nullptr, password.c_str(), hash, sizeof hash);
    papplSystemSetPassword(system, hash);
  }
  // Clients on the network may only change anything after logging in with
  // the access password; a server that would take changes from anyone does
  // not start.
  char hash[100] = "";
  papplSystemGetPassword(system, hash, sizeof hash);
  if (!LoopbackOnly(server.listen) && hash[0] == '\0') return Refuse(system, NeedsPasswordMessage(server.listen, server.port));
  return system;
}

}  // namespace

int main(int argc, char* argv[]) {
  receipt::AddSerialScheme();
  return papplMainloop(argc, argv, kVersion, kFooter, static_cast<int>(Drivers().size()), Drivers().data(),
                       AutoAddCallback, DriverCallback, /*subcmd_name=*/nullptr, /*subcmd_cb=*/nullptr,
                       SystemCallback, /*usage_cb=*/nullptr, /*data=*/nullptr);
}
