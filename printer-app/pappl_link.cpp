// pappl_link.cpp: PAPPL's side of the printer link.
#include "pappl_link.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <chrono>
#include <map>
#include <mutex>
#include <vector>

#include "escpos_grammar.h"

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

// Devices with a read channel: USB, network and serial printers. file:
// devices are taken as write-only.
bool MayAskOf(pappl_printer_t* printer) {
  const char* uri = papplPrinterGetDeviceURI(printer);
  if (uri == nullptr) return false;
  for (const char* scheme : {"usb:", "socket:", "dnssd:", "snmp:", "serial:"})
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

// Each printer's latest status, as shown, and when it was learnt.
struct Latest {
  PrinterStatus status;
  std::chrono::steady_clock::time_point when;
};
std::mutex g_latestMutex;
std::map<int, Latest> g_latest;

bool LatestOf(pappl_printer_t* printer, Latest* out) {
  std::lock_guard<std::mutex> lock(g_latestMutex);
  auto it = g_latest.find(papplPrinterGetID(printer));
  if (it == g_latest.end()) return false;
  *out = it->second;
  return true;
}

// What each printer's socket print client has sent so far, for its
// status requests: one client at a time per printer.
struct Client {
  int jobId = 0;
  escpos::QueryScanner scanner;
};
std::mutex g_clientsMutex;
std::map<int, Client> g_clients;

std::string g_markFolder;

std::string MarkPath(int printerId, int jobId) {
  return g_markFolder + "/lorvex-p" + std::to_string(printerId) + "-j" + std::to_string(jobId) + ".sent";
}

// Calls `each(printer id, job id, path)` for every mark in the folder.
template <typename Each>
void ForEachMark(Each each) {
  if (g_markFolder.empty()) return;
  DIR* dir = opendir(g_markFolder.c_str());
  if (dir == nullptr) return;
  while (dirent* entry = readdir(dir)) {
    int printerId = 0, jobId = 0;
    char tail[8] = "";
    if (sscanf(entry->d_name, "lorvex-p%d-j%d.%5s", &printerId, &jobId, tail) == 3 && strcmp(tail, "sent") == 0)
      each(printerId, jobId, MarkPath(printerId, jobId));
  }
  closedir(dir);
}

pappl_job_t* JobOfMark(pappl_system_t* system, int printerId, int jobId) {
  pappl_printer_t* printer = papplSystemFindPrinter(system, nullptr, printerId, nullptr);
  return printer ? papplPrinterFindJob(printer, jobId) : nullptr;
}

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

bool JobStopped(pappl_job_t* job) {
  return papplJobIsCanceled(job) || papplSystemIsShutdown(papplPrinterGetSystem(papplJobGetPrinter(job)));
}

void SetMarkFolder(const std::string& folder) { g_markFolder = folder; }

void HoldJobsStoppedByARestart(pappl_system_t* system) {
  ForEachMark([&](int printerId, int jobId, const std::string& path) {
    pappl_job_t* job = JobOfMark(system, printerId, jobId);
    const ipp_jstate_t state = job ? papplJobGetState(job) : IPP_JSTATE_COMPLETED;
    if (state != IPP_JSTATE_PENDING && state != IPP_JSTATE_HELD) {
      unlink(path.c_str());
      return;
    }
    papplJobHold(job, nullptr, "indefinite", 0);
    papplJobSetMessage(job, "%s", kStoppedByRestart);
    papplLogJob(job, PAPPL_LOGLEVEL_WARN,
                "Held: the server stopped while the job was printing, and the printer may have a part of it.");
  });
}

void ForgetMarksOfDoneJobs(pappl_system_t* system) {
  const time_t now = time(nullptr);
  ForEachMark([&](int printerId, int jobId, const std::string& path) {
    pappl_job_t* job = JobOfMark(system, printerId, jobId);
    if (job == nullptr || (papplJobGetState(job) >= IPP_JSTATE_CANCELED && now - papplJobGetTimeCompleted(job) > 10))
      unlink(path.c_str());
  });
}

PapplLinkJob::PapplLinkJob(pappl_job_t* job) : job_(job), printer_(papplJobGetPrinter(job)) {}
bool PapplLinkJob::Canceled() { return JobStopped(job_); }
void PapplLinkJob::BeforeFirstByte() {
  if (g_markFolder.empty()) return;
  // On disk before the byte: after a crash, a job without its mark had
  // nothing on the printer.
  const std::string path = MarkPath(papplPrinterGetID(printer_), papplJobGetID(job_));
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) {
    papplLogJob(job_, PAPPL_LOGLEVEL_ERROR, "Cannot mark the job as begun in %s: %s", path.c_str(), strerror(errno));
    return;
  }
  fsync(fd);
  close(fd);
  const int folder = open(g_markFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder >= 0) {
    fsync(folder);
    close(folder);
  }
}
void PapplLinkJob::SetMessage(const std::string& message) { papplJobSetMessage(job_, "%s", message.c_str()); }
void PapplLinkJob::ShowStatus(const PrinterStatus& status) { receipt::ShowStatus(printer_, status); }
bool PapplLinkJob::MayAsk() { return printer_ != nullptr && MayAskOf(printer_); }
Answering PapplLinkJob::Known() { return KnownOf(printer_); }
void PapplLinkJob::Remember(Answering answering) { RememberOf(printer_, answering); }

void ShowStatus(pappl_printer_t* printer, const PrinterStatus& status) {
  {
    std::lock_guard<std::mutex> lock(g_latestMutex);
    g_latest[papplPrinterGetID(printer)] = {status, std::chrono::steady_clock::now()};
  }
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

size_t RawAnswerCallback(pappl_job_t* job, const unsigned char* data, size_t size, unsigned char* answer,
                         size_t answerSize) {
  pappl_printer_t* printer = papplJobGetPrinter(job);
  std::vector<escpos::QueryScanner::Query> queries;
  {
    std::lock_guard<std::mutex> lock(g_clientsMutex);
    Client& client = g_clients[papplPrinterGetID(printer)];
    if (client.jobId != papplJobGetID(job)) client = Client{papplJobGetID(job), {}};
    client.scanner.Feed(data, size, [&](const escpos::QueryScanner::Query& q) { queries.push_back(q); });
  }
  if (queries.empty() || !MayAskOf(printer)) return 0;
  Latest latest;
  const bool fresh = LatestOf(printer, &latest) && std::chrono::steady_clock::now() - latest.when < std::chrono::seconds(2);
  if (!fresh) PollStatusCallback(printer);  // asks when the printer is free
  if (KnownOf(printer) != Answering::kYes || !LatestOf(printer, &latest)) return 0;
  size_t n = 0;
  for (const escpos::QueryScanner::Query& q : queries) {
    if (n == answerSize) break;
    answer[n++] = q.realTime ? RealTimeAnswerFor(q.n, latest.status) : DoneAnswerFor(q.n, latest.status);
  }
  return n;
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
