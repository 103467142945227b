// printer_link.h: the printer's device as a job and the status poll use it.
//
// Receipt printers on a socket or USB answer status requests; those on a
// write-only device (a file: device, or a printer that never answers) do
// not, and are not asked again once that is seen. For a printer that
// answers:
// - before a job, its real-time status is asked; while it is out of paper,
//   its cover open or offline, the job waits and the printer shows why;
// - after a job's last byte, GS r asks for an answer that the printer gives
//   only once it has taken in everything before it: only then is the job
//   done;
// - while idle, the status is asked every few seconds.
// A job whose bytes could not all be written ends with how many went out;
// PAPPL closes the device after it, and the next job opens it afresh.
#ifndef LORVEX_PRINTER_APP_PRINTER_LINK_H
#define LORVEX_PRINTER_APP_PRINTER_LINK_H

#include <pappl/pappl.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "printer_status.h"
#include "receipt_printer.h"

namespace receipt {

// How long a printer that answers may take, after the job's last byte, to
// confirm it (more while it waits for paper or a closed cover).
constexpr int kConfirmSeconds = 120;

// The device of the job being printed, and nothing else: every byte of the
// job goes through here.
class JobLink : public ByteSink {
 public:
  JobLink(pappl_job_t* job, pappl_device_t* device);

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
  bool Answers() const;

  pappl_job_t* job_;
  pappl_printer_t* printer_;
  pappl_device_t* device_;
  size_t sent_ = 0;
  bool broken_ = false;
};

// Asks an idle printer's status and shows it: PAPPL's status callback, and
// the poll every few seconds. True when it could be asked.
bool PollStatus(pappl_printer_t* printer);

// Shows `status` on the printer: its state reasons and message.
void ShowStatus(pappl_printer_t* printer, const PrinterStatus& status);

}  // namespace receipt

#endif  // LORVEX_PRINTER_APP_PRINTER_LINK_H
