// pappl_link.cpp: PAPPL's side of the printer link.
#include "pappl_link.h"

#include <cstring>
#include <map>
#include <mutex>

namespace receipt {

namespace {

// The reasons we set from the printer's answers; PAPPL keeps the others.
constexpr pappl_preason_t kStatusReasons = static_cast<pappl_preason_t>(
    PAPPL_PREASON_MEDIA_EMPTY | PAPPL_PREASON_MEDIA_LOW | PAPPL_PREASON_DOOR_OPEN | PAPPL_PREASON_OFFLINE |
    PAPPL_PREASON_OTHER);

// Whether each printer's device answers status requests, by printer id.
// PAPPL's read waits up to 10 s for an answer: a device that gave none is
// not asked again while the server runs.
std::mutex g_answeringMutex;
std::map<int, Answering> g_answering;

Answering KnownOf(pappl_printer_t* printer) {
  std::lock_guard<std::mutex> lock(g_answeringMutex);
  auto it = g_answering.find(papplPrinterGetID(printer));
  return it == g_answering.end() ? Answering::kUnknown : it->second;
}

void RememberOf(pappl_printer_t* printer, Answering answering) {
  std::lock_guard<std::mutex> lock(g_answeringMutex);
  Answering& known = g_answering[papplPrinterGetID(printer)];
  if (answering == Answering::kNo && known != Answering::kNo)
    papplLogPrinter(printer, PAPPL_LOGLEVEL_WARN,
                    "The printer does not answer status requests: it is not asked again, and its jobs are done "
                    "once their bytes are sent.");
  known = answering;
}

// Devices with a read channel: USB and network printers. file: devices are
// taken as write-only.
bool MayAskOf(pappl_printer_t* printer) {
  const char* uri = papplPrinterGetDeviceURI(printer);
  if (uri == nullptr) return false;
  for (const char* scheme : {"usb:", "socket:", "dnssd:", "snmp:"})
    if (strncmp(uri, scheme, strlen(scheme)) == 0) return KnownOf(printer) != Answering::kNo;
  return false;
}

// An idle printer's poll: no job to tell.
class IdlePrinter : public LinkJob {
 public:
  explicit IdlePrinter(pappl_printer_t* printer) : printer_(printer) {}
  bool Canceled() override { return false; }
  void SetMessage(const std::string&) override {}
  void ShowStatus(const PrinterStatus& status) override { receipt::ShowStatus(printer_, status); }
  bool MayAsk() override { return MayAskOf(printer_); }
  Answering Known() override { return KnownOf(printer_); }
  void Remember(Answering answering) override { RememberOf(printer_, answering); }

 private:
  pappl_printer_t* printer_;
};

// printer-supply: the paper roll, at `level` (see PaperLevel).
void ShowPaper(pappl_printer_t* printer, int level) {
  pappl_supply_t roll{};
  roll.color = PAPPL_SUPPLY_COLOR_NO_COLOR;
  snprintf(roll.description, sizeof roll.description, "Paper roll");
  roll.is_consumed = true;
  roll.level = level;
  roll.type = PAPPL_SUPPLY_TYPE_OTHER;
  pappl_supply_t shown{};
  if (papplPrinterGetSupplies(printer, 1, &shown) == 1 && shown.level == level) return;
  papplPrinterSetSupplies(printer, 1, &roll);
}

}  // namespace

long PapplDevice::Write(const uint8_t* data, size_t size) {
  return device_ ? static_cast<long>(papplDeviceWrite(device_, data, size)) : -1;
}

long PapplDevice::Read(uint8_t* buffer, size_t size) {
  return device_ ? static_cast<long>(papplDeviceRead(device_, buffer, size)) : -1;
}

void PapplDevice::Flush() {
  if (device_) papplDeviceFlush(device_);
}

PapplLinkJob::PapplLinkJob(pappl_job_t* job) : job_(job), printer_(papplJobGetPrinter(job)) {}
bool PapplLinkJob::Canceled() { return papplJobIsCanceled(job_); }
void PapplLinkJob::SetMessage(const std::string& message) { papplJobSetMessage(job_, "%s", message.c_str()); }
void PapplLinkJob::ShowStatus(const PrinterStatus& status) { receipt::ShowStatus(printer_, status); }
bool PapplLinkJob::MayAsk() { return printer_ != nullptr && MayAskOf(printer_); }
Answering PapplLinkJob::Known() { return KnownOf(printer_); }
void PapplLinkJob::Remember(Answering answering) { RememberOf(printer_, answering); }

void ShowStatus(pappl_printer_t* printer, const PrinterStatus& status) {
  ShowPaper(printer, PaperLevel(status));
  unsigned add = PAPPL_PREASON_NONE;
  if (status.paperEnd) add |= PAPPL_PREASON_MEDIA_EMPTY;
  if (status.paperNearEnd) add |= PAPPL_PREASON_MEDIA_LOW;
  if (status.coverOpen) add |= PAPPL_PREASON_DOOR_OPEN;
  if (status.error) add |= PAPPL_PREASON_OTHER;
  // A printer goes offline with its cover open or out of paper: that says
  // it already.
  if (status.offline && !status.coverOpen && !status.paperEnd) add |= PAPPL_PREASON_OFFLINE;
  papplPrinterSetReasons(printer, static_cast<pappl_preason_t>(add), static_cast<pappl_preason_t>(kStatusReasons & ~add));
  const std::string message = StatusMessage(status);
  papplPrinterSetStateMessage(printer, message.empty() ? nullptr : message.c_str());
}

bool PollStatusCallback(pappl_printer_t* printer) {
  if (printer == nullptr) return false;
  // Every printer shows its roll, as unknown until the printer says.
  if (papplPrinterGetSupplies(printer, 0, nullptr) == 0) ShowPaper(printer, kPaperLevelUnknown);
  if (!MayAskOf(printer) || papplPrinterGetState(printer) == IPP_PSTATE_PROCESSING) return false;
  const bool idle = papplPrinterGetNumberOfActiveJobs(printer) == 0;
  pappl_device_t* device = papplPrinterOpenDevice(printer);
  if (device == nullptr) {
    // Nothing else holds an idle printer's device: it cannot be reached.
    if (idle) {
      papplPrinterSetReasons(printer, PAPPL_PREASON_OFFLINE, PAPPL_PREASON_NONE);
      const std::string message =
          std::string("The printer cannot be reached at ") + papplPrinterGetDeviceURI(printer) + ".";
      papplPrinterSetStateMessage(printer, message.c_str());
    }
    return false;
  }
  PapplDevice port(device);
  IdlePrinter idlePrinter(printer);
  PrinterStatus status;
  const bool answered = AskAndRemember(port, idlePrinter, &status);
  papplPrinterCloseDevice(printer);
  if (answered) ShowStatus(printer, status);
  return answered;
}

}  // namespace receipt
