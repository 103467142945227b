// pappl_link.h: the printer link over PAPPL's devices, jobs and printers:
// the device as a PrinterPort, the job as a LinkJob, what each printer's
// device is known to answer, and the status poll of idle printers.
#ifndef LORVEX_PRINTER_APP_PAPPL_LINK_H
#define LORVEX_PRINTER_APP_PAPPL_LINK_H

#include <pappl/pappl.h>

#include <string>

#include "printer_link.h"

namespace receipt {

class PapplDevice : public PrinterPort {
 public:
  explicit PapplDevice(pappl_device_t* device) : device_(device) {}
  long Write(const uint8_t* data, size_t size) override;
  long Read(uint8_t* buffer, size_t size) override;
  void Flush() override;

 private:
  pappl_device_t* device_;
};

// A job being printed, and its printer.
class PapplLinkJob : public LinkJob {
 public:
  explicit PapplLinkJob(pappl_job_t* job);
  bool Canceled() override;
  void SetMessage(const std::string& message) override;
  void ShowStatus(const PrinterStatus& status) override;
  bool MayAsk() override;
  Answering Known() override;
  void Remember(Answering answering) override;
  void BeforeFirstByte() override;

 private:
  pappl_job_t* job_;
  pappl_printer_t* printer_;
};

// True when the job is to stop: cancelled, or the server is stopping (it
// then goes back to the queue).
bool JobStopped(pappl_job_t* job);

// A job's mark that the printer may have a part of it: a file in the state
// folder, "lorvex-p<printer>-j<job>.sent", made and flushed to disk before
// the job's first byte goes to the device, and kept until the job has been
// done for a while, so that a server killed at any moment knows at its
// next start which jobs it must not print again by itself.
void SetMarkFolder(const std::string& folder);

// After the state is loaded, before the server runs: a queued job with a
// mark is held, with the message kStoppedByRestart (releasing it prints it
// again); marks of jobs that are gone or done are removed. Says in the log
// what it held.
constexpr const char* kStoppedByRestart = "stopped by a restart while printing; release it to print it again";
void HoldJobsStoppedByARestart(pappl_system_t* system);

// Removes the marks of jobs done for more than 10 s (the state that says
// so is saved by then). The status poll calls it.
void ForgetMarksOfDoneJobs(pappl_system_t* system);

// PAPPL's rawanswer_cb: the answers to the status requests a socket print
// client sends on the connection (DLE EOT 1 to 4, GS r 1 and 2), from the
// printer's latest status, asked afresh when older than 2 s and the printer
// is free. A printer that never answers gets no answer, as it would give
// none itself.
size_t RawAnswerCallback(pappl_job_t* job, const unsigned char* data, size_t size, unsigned char* answer,
                         size_t answerSize);

// Asks an idle printer's status and shows it: PAPPL's status callback, and
// the poll every few seconds. True when it could be asked.
bool PollStatusCallback(pappl_printer_t* printer);

// Shows `status` on the printer: its state reasons, message and paper roll.
void ShowStatus(pappl_printer_t* printer, const PrinterStatus& status);

}  // namespace receipt

#endif  // LORVEX_PRINTER_APP_PAPPL_LINK_H
