// printer_link.cpp: status requests and answers over the printer's device.
#include "printer_link.h"

#include <chrono>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>

namespace receipt {

namespace {

using Clock = std::chrono::steady_clock;

// The reasons we set from the printer's answers; PAPPL keeps the others.
constexpr pappl_preason_t kStatusReasons = static_cast<pappl_preason_t>(
    PAPPL_PREASON_MEDIA_EMPTY | PAPPL_PREASON_MEDIA_LOW | PAPPL_PREASON_DOOR_OPEN | PAPPL_PREASON_OFFLINE |
    PAPPL_PREASON_OTHER);

// Whether each printer's device answers status requests, by printer id.
// PAPPL's read waits up to 10 s for an answer: a device that gave none is
// not asked again while the server runs.
enum class Answering { kUnknown, kYes, kNo };
std::mutex g_answeringMutex;
std::map<int, Answering> g_answering;

Answering Known(pappl_printer_t* printer) {
  std::lock_guard<std::mutex> lock(g_answeringMutex);
  auto it = g_answering.find(papplPrinterGetID(printer));
  return it == g_answering.end() ? Answering::kUnknown : it->second;
}

void Remember(pappl_printer_t* printer, Answering answering) {
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
bool MayAsk(pappl_printer_t* printer) {
  const char* uri = papplPrinterGetDeviceURI(printer);
  if (uri == nullptr) return false;
  for (const char* scheme : {"usb:", "socket:", "dnssd:", "snmp:"})
    if (strncmp(uri, scheme, strlen(scheme)) == 0) return Known(printer) != Answering::kNo;
  return false;
}

bool Send(pappl_device_t* device, const uint8_t* data, size_t size) {
  const bool ok = papplDeviceWrite(device, data, size) == static_cast<ssize_t>(size);
  papplDeviceFlush(device);
  return ok;
}

// Collects answer bytes: real-time ones into a status, a GS r one into
// `done`. Bytes of neither shape are dropped.
struct AnswerBytes {
  uint8_t realTime[kStatusAnswers] = {};
  size_t realTimeCount = 0;
  bool done = false;
  uint8_t doneByte = 0;

  void Take(const uint8_t* bytes, size_t count) {
    for (size_t i = 0; i < count; ++i) {
      if (IsRealTimeAnswer(bytes[i])) {
        if (realTimeCount < kStatusAnswers) realTime[realTimeCount++] = bytes[i];
      } else if (IsDoneAnswer(bytes[i]) && !done) {
        done = true;
        doneByte = bytes[i];
      }
    }
  }
  // Reads once: false when nothing came within the device's read timeout.
  bool Read(pappl_device_t* device) {
    uint8_t buffer[16];
    const ssize_t n = papplDeviceRead(device, buffer, sizeof buffer);
    if (n <= 0) return false;
    Take(buffer, static_cast<size_t>(n));
    return true;
  }
};

bool AskStatusOn(pappl_device_t* device, PrinterStatus* status) {
  if (!Send(device, kStatusRequest, sizeof kStatusRequest)) return false;
  AnswerBytes answers;
  while (answers.realTimeCount < kStatusAnswers)
    if (!answers.Read(device)) break;
  return ParseStatusAnswers(answers.realTime, answers.realTimeCount, status);
}

// Asks and remembers the answer: a printer that answered is asked again; one
// that never has is not (one that answered before and is silent now stays
// askable: it may only be busy or gone for a moment).
bool AskAndRemember(pappl_printer_t* printer, pappl_device_t* device, PrinterStatus* status) {
  if (AskStatusOn(device, status)) {
    Remember(printer, Answering::kYes);
    return true;
  }
  if (Known(printer) == Answering::kUnknown) Remember(printer, Answering::kNo);
  return false;
}

}  // namespace

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

bool PollStatus(pappl_printer_t* printer) {
  if (printer == nullptr) return false;
  // Every printer shows its roll, as unknown until the printer says.
  if (papplPrinterGetSupplies(printer, 0, nullptr) == 0) ShowPaper(printer, kPaperLevelUnknown);
  if (!MayAsk(printer) || papplPrinterGetState(printer) == IPP_PSTATE_PROCESSING) return false;
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
  PrinterStatus status;
  const bool answered = AskAndRemember(printer, device, &status);
  papplPrinterCloseDevice(printer);
  if (answered) ShowStatus(printer, status);
  return answered;
}

JobLink::JobLink(pappl_job_t* job, pappl_device_t* device)
    : job_(job), printer_(papplJobGetPrinter(job)), device_(device) {}

bool JobLink::Answers() const { return printer_ != nullptr && device_ != nullptr && MayAsk(printer_); }

bool JobLink::WaitUntilReady() {
  if (!Answers()) return true;
  for (;;) {
    PrinterStatus status;
    if (!AskAndRemember(printer_, device_, &status)) return true;  // it does not say: print
    ShowStatus(printer_, status);
    if (!status.Blocked()) {
      papplJobSetMessage(job_, "Printing.");
      return true;
    }
    const std::string message = "Waiting: " + StatusMessage(status);
    papplJobSetMessage(job_, "%s", message.c_str());
    for (int i = 0; i < 20; ++i) {
      if (papplJobIsCanceled(job_)) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
  }
}

bool JobLink::Write(const uint8_t* data, size_t size) {
  if (broken_ || device_ == nullptr) return false;
  if (papplDeviceWrite(device_, data, size) != static_cast<ssize_t>(size)) {
    broken_ = true;
    return false;
  }
  sent_ += size;
  return true;
}

std::string JobLink::BrokenMessage() const {
  return "The connection to the printer broke after " + std::to_string(sent_) +
         " bytes of this job were sent; the job is not printed again by itself.";
}

bool JobLink::Confirm(std::string* why) {
  if (device_ == nullptr) {
    *why = "The job has no printer device.";
    return false;
  }
  papplDeviceFlush(device_);
  if (broken_) {
    *why = BrokenMessage();
    return false;
  }
  if (!Answers() || Known(printer_) != Answering::kYes) return true;
  if (!Send(device_, kDoneRequest, sizeof kDoneRequest)) {
    broken_ = true;
    *why = BrokenMessage();
    return false;
  }
  AnswerBytes answers;
  Clock::time_point deadline = Clock::now() + std::chrono::seconds(kConfirmSeconds);
  while (Clock::now() < deadline) {
    if (papplJobIsCanceled(job_)) {
      *why = "Cancelled.";
      return false;
    }
    if (answers.Read(device_)) {
      if (answers.done) {
        PrinterStatus status;
        ParseDoneAnswer(answers.doneByte, &status);
        ShowStatus(printer_, status);
        return true;
      }
      if (answers.realTimeCount == kStatusAnswers) {
        PrinterStatus status;
        if (ParseStatusAnswers(answers.realTime, answers.realTimeCount, &status)) {
          ShowStatus(printer_, status);
          if (status.Blocked()) {
            // The printer holds the rest of the job until someone sees to it.
            const std::string message = "Waiting: " + StatusMessage(status);
            papplJobSetMessage(job_, "%s", message.c_str());
            deadline = Clock::now() + std::chrono::seconds(kConfirmSeconds);
          }
        }
        answers.realTimeCount = 0;
      }
      continue;
    }
    // Nothing yet: ask, in real time, whether the printer is held up.
    if (!Send(device_, kStatusRequest, sizeof kStatusRequest)) {
      broken_ = true;
      *why = BrokenMessage();
      return false;
    }
  }
  *why = "The printer did not confirm within " + std::to_string(kConfirmSeconds) +
         " s that it took the job in: look at the receipt before printing it again.";
  return false;
}

}  // namespace receipt
