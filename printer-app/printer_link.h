// printer_link.h: a job's bytes and the printer's answers, over the
// printer's device, apart from PAPPL.
//
// Receipt printers on a socket or USB answer status requests; those on a
// write-only device (a file: device, or a printer that never answers) do
// not, and are not asked again once that is seen. For a printer that
// answers:
// - before a job, its real-time status is asked; while it is out of paper,
//   its cover open or offline, the job waits and the printer shows why;
// - after a job's last byte, GS r asks for an answer that the printer gives
//   only once it has taken in everything before it: only then is the job
//   done.
// A job whose bytes could not all be written ends with how many went out.
#ifndef LORVEX_PRINTER_APP_PRINTER_LINK_H
#define LORVEX_PRINTER_APP_PRINTER_LINK_H

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

#include "page_encoder.h"
#include "printer_status.h"

namespace receipt {

// How long a printer that answers may take, after the job's last byte, to
// confirm it (more while it waits for paper or a closed cover).
constexpr int kConfirmSeconds = 120;

// The printer's device: PAPPL's, or a script in the tests.
class PrinterPort {
 public:
  virtual ~PrinterPort() = default;
  // Bytes taken, or -1 when the device refused them.
  virtual long Write(const uint8_t* data, size_t size) = 0;
  // Bytes that came within the device's read timeout (0 or less: none).
  virtual long Read(uint8_t* buffer, size_t size) = 0;
  virtual void Flush() = 0;
};

// Time, as the link waits: the steady clock, or one the tests move.
class LinkClock {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;
  virtual ~LinkClock() = default;
  virtual TimePoint Now() = 0;
  virtual void Sleep(std::chrono::milliseconds duration) = 0;
};
LinkClock& SteadyClock();

// Whether a printer's device answers status requests.
enum class Answering { kUnknown, kYes, kNo };

// What the link tells and asks of the job and its printer.
class LinkJob {
 public:
  virtual ~LinkJob() = default;
  virtual bool Canceled() = 0;
  virtual void SetMessage(const std::string& message) = 0;
  virtual void ShowStatus(const PrinterStatus& status) = 0;
  // The device may be asked: a kind that answers, not known to be silent.
  virtual bool MayAsk() = 0;
  virtual Answering Known() = 0;
  virtual void Remember(Answering answering) = 0;
  // Called once, before the job's first byte goes to the device: from then
  // on the printer may have a part of the job.
  virtual void BeforeFirstByte() {}
};

// Asks the real-time status on `port`; false when the answers did not come.
bool AskStatus(PrinterPort& port, PrinterStatus* status);

// Asks and remembers the answer: a printer that answered is asked again; one
// that never has is not (one that answered before and is silent now stays
// askable: it may only be busy or gone for a moment).
bool AskAndRemember(PrinterPort& port, LinkJob& job, PrinterStatus* status);

// The device of the job being printed, and nothing else: every byte of the
// job goes through here.
class JobLink : public ByteSink {
 public:
  JobLink(PrinterPort& port, LinkJob& job, LinkClock& clock = SteadyClock());

  // Before the first byte: waits while the printer cannot print. False when
  // the job was cancelled meanwhile.
  bool WaitUntilReady();
  bool Write(const uint8_t* data, size_t size) override;
  // After the last byte: true once the printer has confirmed it took the
  // job in (or when it is a device that never answers). False, with `why`,
  // when it did not confirm or the job was cancelled.
  bool Confirm(std::string* why);

  // The job's message for a connection that broke under it.
  std::string BrokenMessage() const;
  bool Broken() const { return broken_; }

 private:
  bool Send(const uint8_t* data, size_t size);

  PrinterPort& port_;
  LinkJob& job_;
  LinkClock& clock_;
  size_t sent_ = 0;
  bool broken_ = false;
  bool begun_ = false;
};

}  // namespace receipt

#endif  // LORVEX_PRINTER_APP_PRINTER_LINK_H
