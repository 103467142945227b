// printer_link.cpp: status requests and answers over the printer's device.
#include "printer_link.h"

#include <thread>

namespace receipt {

namespace {

class Steady : public LinkClock {
 public:
  TimePoint Now() override { return std::chrono::steady_clock::now(); }
  void Sleep(std::chrono::milliseconds duration) override { std::this_thread::sleep_for(duration); }
};

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
  bool Read(PrinterPort& port) {
    uint8_t buffer[16];
    const long n = port.Read(buffer, sizeof buffer);
    if (n <= 0) return false;
    Take(buffer, static_cast<size_t>(n));
    return true;
  }
};

bool SendAll(PrinterPort& port, const uint8_t* data, size_t size) {
  const bool ok = port.Write(data, size) == static_cast<long>(size);
  port.Flush();
  return ok;
}

}  // namespace

LinkClock& SteadyClock() {
  static Steady clock;
  return clock;
}

bool AskStatus(PrinterPort& port, PrinterStatus* status) {
  if (!SendAll(port, kStatusRequest, sizeof kStatusRequest)) return false;
  AnswerBytes answers;
  while (answers.realTimeCount < kStatusAnswers)
    if (!answers.Read(port)) break;
  return ParseStatusAnswers(answers.realTime, answers.realTimeCount, status);
}

bool AskAndRemember(PrinterPort& port, LinkJob& job, PrinterStatus* status) {
  if (AskStatus(port, status)) {
    job.Remember(Answering::kYes);
    return true;
  }
  if (job.Known() == Answering::kUnknown) job.Remember(Answering::kNo);
  return false;
}

JobLink::JobLink(PrinterPort& port, LinkJob& job, LinkClock& clock) : port_(port), job_(job), clock_(clock) {}

bool JobLink::WaitUntilReady() {
  if (!job_.MayAsk()) return true;
  for (;;) {
    PrinterStatus status;
    if (!AskAndRemember(port_, job_, &status)) return true;  // it does not say: print
    job_.ShowStatus(status);
    if (!status.Blocked()) {
      job_.SetMessage("Printing.");
      return true;
    }
    job_.SetMessage("Waiting: " + StatusMessage(status));
    // Asked again every 2 s; a cancel is seen within 0.1 s.
    for (int i = 0; i < 20; ++i) {
      if (job_.Canceled()) return false;
      clock_.Sleep(std::chrono::milliseconds(100));
    }
  }
}

bool JobLink::Write(const uint8_t* data, size_t size) {
  if (broken_) return false;
  if (!begun_) {
    job_.BeforeFirstByte();
    begun_ = true;
  }
  if (port_.Write(data, size) != static_cast<long>(size)) {
    broken_ = true;
    return false;
  }
  sent_ += size;
  return true;
}

bool JobLink::Send(const uint8_t* data, size_t size) {
  if (SendAll(port_, data, size)) return true;
  broken_ = true;
  return false;
}

std::string JobLink::BrokenMessage() const {
  return "The connection to the printer broke after " + std::to_string(sent_) +
         " bytes of this job were sent; the job is not printed again by itself.";
}

bool JobLink::Confirm(std::string* why) {
  port_.Flush();
  if (broken_) {
    *why = BrokenMessage();
    return false;
  }
  if (!job_.MayAsk() || job_.Known() != Answering::kYes) return true;
  if (!Send(kDoneRequest, sizeof kDoneRequest)) {
    *why = BrokenMessage();
    return false;
  }
  AnswerBytes answers;
  LinkClock::TimePoint deadline = clock_.Now() + std::chrono::seconds(kConfirmSeconds);
  while (clock_.Now() < deadline) {
    if (job_.Canceled()) {
      *why = "Cancelled.";
      return false;
    }
    if (answers.Read(port_)) {
      if (answers.done) {
        PrinterStatus status;
        ParseDoneAnswer(answers.doneByte, &status);
        job_.ShowStatus(status);
        return true;
      }
      if (answers.realTimeCount == kStatusAnswers) {
        PrinterStatus status;
        if (ParseStatusAnswers(answers.realTime, answers.realTimeCount, &status)) {
          job_.ShowStatus(status);
          if (status.Blocked()) {
            // The printer holds the rest of the job until someone sees to it.
            job_.SetMessage("Waiting: " + StatusMessage(status));
            deadline = clock_.Now() + std::chrono::seconds(kConfirmSeconds);
          }
        }
        answers.realTimeCount = 0;
      }
      continue;
    }
    // Nothing yet: ask, in real time, whether the printer is held up.
    if (!Send(kStatusRequest, sizeof kStatusRequest)) {
      *why = BrokenMessage();
      return false;
    }
  }
  *why = "The printer did not confirm within " + std::to_string(kConfirmSeconds) +
         " s that it took the job in: look at the receipt before printing it again.";
  return false;
}

}  // namespace receipt
